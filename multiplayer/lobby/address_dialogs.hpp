#pragma once
// The typing of the TCP/IP address dialog, apart from its drawing: digits
// make up an octet that completes itself at three digits (held at 255), a
// dot completes it early, Backspace takes back a character, Enter or the
// fourth dot ends the entry. An address is only given when it is four
// octets of 0 to 255, each written without leading zeros.
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
  // The address when Done; "" when it was not a whole address.
  const std::string& Result() const { return result_; }

  // "a.b.c.d" with four octets of 0 to 255 and no leading zeros.
  static bool IsWholeAddress(const std::string& text);

 private:
  void CompleteOctet();
  Status Finish(const std::string& text);

  std::string address_;
  std::string octet_;
  std::string result_;
};

}  // namespace fw
