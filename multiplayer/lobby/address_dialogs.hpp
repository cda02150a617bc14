#pragma once
// The typing of the TCP/IP address dialog, apart from its drawing: digits
// make up an octet that completes itself at three digits (held at 255), a
// dot completes it early, Backspace takes back a character, Enter or the
// fourth dot ends the entry. A dot typed right after three digits adds no
// second one. What was typed is given as it stands; the dialog opens it
// only when it is four octets of 0 to 255, each without leading zeros.
#include <cstdint>
#include <string>

namespace fw {

class IpAddressEntry {
 public:
  enum class Status { Typing, Done, Cancelled };

  // One key (a virtual-key code as the window stores it in KeyCode).
  Status Key(int16_t keyCode);
  // What the dialog shows after "IP:" (without the caret).
  std::string Shown() const { return address_ + octet_; }
  // The entry when Done (whole address or not); "" when nothing was typed.
  const std::string& Result() const { return result_; }

  // "a.b.c.d" with four octets of 0 to 255 and no leading zeros.
  static bool IsWholeAddress(const std::string& text);

 private:
  void CompleteOctet();
  Status Finish(const std::string& text);

  std::string address_;
  std::string octet_;
  std::string result_;
  // The last key completed an octet, and its dot, by itself.
  bool dotGiven_ = false;
};

}  // namespace fw
