#pragma once
// GCC 12, optimising, warns inside the standard library's string and vector
// code inlined into ours: a std::string assigned or prefixed with a short
// literal draws -Wrestrict ("may overlap up to 9223372036854775813 bytes"),
// a vector's insert of a range -Wstringop-overread ("reading from a region
// of size 0"). Neither can happen: the library checks the lengths first, and
// the compiler loses that on the way. These wrap the one statement where such
// an alarm arises, so that the same warning anywhere else still shows.
// Other compilers see nothing.

#if defined(__GNUC__) && !defined(__clang__)
#define FW_PRAGMA_(text) _Pragma(#text)
#define FW_LIBRARY_FALSE_ALARM_BEGIN(warning) \
  FW_PRAGMA_(GCC diagnostic push)               \
  FW_PRAGMA_(GCC diagnostic ignored warning)
#define FW_LIBRARY_FALSE_ALARM_END FW_PRAGMA_(GCC diagnostic pop)
#else
#define FW_LIBRARY_FALSE_ALARM_BEGIN(warning)
#define FW_LIBRARY_FALSE_ALARM_END
#endif
