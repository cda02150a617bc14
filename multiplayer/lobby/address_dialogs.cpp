#include "multiplayer/lobby/address_dialogs.hpp"

#include <utility>

#include "engine/cursor.hpp"
#include "engine/globals.hpp"
#include "engine/surfaces.hpp"
#include "frontend/menu_common.hpp"
#include "multiplayer/session/direct_play.hpp"
#include "multiplayer/lobby/lobby.hpp"
#include "platform/input/window.hpp"

namespace fw {
namespace {

constexpr size_t kMostShown = 16;
constexpr int32_t kDialogX = 190, kDialogY = 100;
constexpr int16_t kEsc = 27;

// The digit a key types, on the main keys or the numeric pad; -1 for none.
int Digit(int16_t k) {
  if (k >= 48 && k <= 57) return k - 48;
  if (k >= 96 && k <= 105) return k - 96;
  return -1;
}

void DialogFont(const plat::SurfacePtr& s, int32_t color) {
  SetSurfaceFont(s, "Arial", 12.0f / FontScale, color, false);
}

}  // namespace

bool IpAddressEntry::IsWholeAddress(const std::string& text) {
  int octets = 0;
  size_t start = 0;
  while (true) {
    const size_t dot = text.find('.', start);
    const std::string part = text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    if (part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == '0')) return false;
    for (char c : part)
      if (c < '0' || c > '9') return false;
    if (std::stoi(part) > 255) return false;
    ++octets;
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return octets == 4;
}

void IpAddressEntry::CompleteOctet() {
  // An octet is kept as its value: "007" is 7.
  if (!octet_.empty()) address_ += std::to_string(std::stoi(octet_));
  address_ += ".";
  octet_.clear();
}

IpAddressEntry::Status IpAddressEntry::Finish(const std::string& text) {
  result_ = text;
  return Status::Done;
}

IpAddressEntry::Status IpAddressEntry::Key(int16_t k) {
  if (k == 0) return Status::Typing;  // no key this turn
  const bool dotGiven = std::exchange(dotGiven_, false);
  if (const int d = Digit(k); d >= 0) {
    octet_ += static_cast<char>('0' + d);
    if (std::stoi(octet_) > 255) octet_ = "255";
    if (octet_.size() == 3) {
      CompleteOctet();
      dotGiven_ = true;
    }
  } else if (k == 110 || k == 190) {
    // After three digits the dialog wrote the dot itself: the one the
    // player types next, writing the address as it is written, is the same.
    if (!dotGiven) CompleteOctet();
  } else if (k == 8) {
    if (!octet_.empty())
      octet_.pop_back();
    else if (!address_.empty())
      address_.pop_back();
  } else if (k == 13) {
    // The octet being typed belongs to the address.
    std::string text = address_;
    if (!octet_.empty()) text += std::to_string(std::stoi(octet_));
    return Finish(text);
  } else if (k == kEsc) {
    result_.clear();
    return Status::Cancelled;
  }
  if (FrmMultiMenuClass::GetStrCount(address_, ".") >= 4) {
    address_.pop_back();
    return Finish(address_);
  }
  if (address_.size() > kMostShown) address_.resize(kMostShown);
  return Status::Typing;
}

std::string FrmMultiMenuClass::GetTCPAddress() {
  const auto frame = clips_.Item("Frame");
  RECT whole;
  GetCellRect(whole, frame->Surface, 1, 1, 1);
  plat::SurfacePtr dialog;
  CreateOffscreenSurface(whole.Right, whole.Bottom, dialog, DDraw, false);
  IpAddressEntry entry;
  int32_t caret = 0;
  while (true) {
    frame->BltFast(dialog, plat::DDBLTFAST_WAIT, 0, 0, 1);
    DialogFont(dialog, plat::RGB(100, 255, 255));
    dialog->DrawText(20, 15, "Please key in the IP address...");
    DialogFont(dialog, plat::RGB(200, 200, 200));
    KeyCode = 0;
    plat::DoEvents();
    const IpAddressEntry::Status status = entry.Key(KeyCode);
    if (status == IpAddressEntry::Status::Cancelled) {
      // The same Esc asked the lobby to leave; it only closes the dialog.
      GameState = ScreenState::NetworkLobby;
      page_ = 1;
      runState_ = "Loop";
      KeyCode = 0;
      return "";
    }
    if (status == IpAddressEntry::Status::Done) break;
    if (++caret > 40) caret = -40;
    dialog->DrawText(20, 45, "IP:" + entry.Shown() + (caret >= 1 ? "_" : ""));
    Primary->BltFast(kDialogX, kDialogY, dialog.get(), &whole, plat::DDBLTFAST_WAIT);
    // The dialog draws straight onto the screen: pace it as a flip would.
    plat::WaitForRefresh();
  }
  const std::string& typed = entry.Result();
  if (!typed.empty() && !IpAddressEntry::IsWholeAddress(typed)) {
    // Told as an address that cannot be reached is, rather than closing
    // without a word.
    ConnectFailed(false);
    return "";
  }
  DialogText("Trying to Connect.  Please Wait.");
  return typed;
}

void FrmMultiMenuClass::DrawAddressDialog() {
  clips_.Item("Back")->BltFast(BackBuffer, plat::DDBLTFAST_WAIT, 0, 0, 1);
  clips_.Item("Frame")->BltFast(BackBuffer, plat::DDBLTFAST_WAIT | plat::DDBLTFAST_SRCCOLORKEY, 200, 105, 1);
  addressList_->Blt(BackBuffer, plat::DDBLT_KEYSRC);
  DrawCursor(BackBuffer, WholePixel(MouseX), WholePixel(MouseY));
  const RECT screen = SetRECT(0, 0, 640, 480);
  Primary->BltFast(0, 0, BackBuffer.get(), &screen, plat::DDBLTFAST_WAIT);
  plat::WaitForRefresh();
}

namespace {
void SetUpAddressList(qelListBox& list) {
  SetUpLobbyList(list, SetRECT(210, 110, 420, 200), 12.0f / FontScale, true, plat::RGB(255, 255, 255));
  list.RemoveAll();
}
}  // namespace

bool FrmMultiMenuClass::GetModemAddress() {
  runState_ = "Modem";
  qelDirectPlay& dp = DPlay();
  const int32_t n = dp.DPLobby.ModemCount();
  if (n == 0) {
    DialogText("No Connection with the Modem");
    runState_ = "Loop";
    return false;
  }
  SetUpAddressList(*addressList_);
  for (int32_t i = 1; i <= n; ++i) addressList_->Add(dp.DPLobby.ModemName(i), "");
  keyHit_ = false;
  do {
    plat::DoEvents();
    if (keyHit_) break;
    DrawAddressDialog();
  } while (addressList_->SelectedItem < 1);
  bool chosen = false;
  if (addressList_->SelectedItem > 0) {
    // The modem's address is made from an empty number and name: the row
    // only confirms.
    dp.DPAddress = PlayAddress{};
    addressList_ = std::make_shared<qelListBox>();
    chosen = true;
  }
  runState_ = "RUN";
  return chosen;
}

bool FrmMultiMenuClass::GetSerialAddress() {
  runState_ = "Serial";
  SetUpAddressList(*addressList_);
  for (const char* port : {"COM1", "COM2", "COM3", "COM4"}) addressList_->Add(port, "");
  do {
    plat::DoEvents();
    DrawAddressDialog();
    if (KeyCode == kEsc) {
      KeyCode = 0;
      runState_ = "Loop";
      break;
    }
  } while (addressList_->SelectedItem < 1);
  if (addressList_->SelectedItem < 1) return false;
  DPlay().DPAddress = DPlay().DPLobby.ComPortAddress(addressList_->SelectedItem, 57600, 1, 0, 0);
  addressList_ = std::make_shared<qelListBox>();
  runState_ = "RUN";
  return true;
}

}  // namespace fw
