#include "data/tank.hpp"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace fw {

void Tank::PerSpeed(int16_t v) {
  perSpeed_ = v;
  if (perSpeed_ > 100) perSpeed_ = 100;
  if (perSpeed_ < -50) perSpeed_ = -50;
}

void Tank::CenterY(float v) {
  centerY_ = v;
  PosOffsetY = static_cast<float>(v - static_cast<double>(descRect_.Bottom) + descRect_.Right / 2.0);
}

float Tank::CenterY() {
  centerY_ = static_cast<float>(PosOffsetY + static_cast<double>(descRect_.Bottom) - descRect_.Right / 2.0);
  return centerY_;
}

void Tank::CenterX(float v) {
  centerX_ = v;
  PosOffsetX = static_cast<float>(v - descRect_.Right / 2.0);
}

float Tank::CenterX() {
  centerX_ = static_cast<float>(PosOffsetX + descRect_.Right / 2.0);
  return centerX_;
}

void Tank::HeadAngle(float v) {
  headAngle_ = v;
  if (headAngle_ <= 0.0f) headAngle_ += 360.0f;
  if (headAngle_ >= 360.0f) headAngle_ -= 360.0f;
}

double LeadingNumber(std::string_view text) {
  // The runtime passes over blanks anywhere in the number.
  std::string s;
  for (char c : text)
    if (c != ' ' && c != '\t' && c != '\n') s += c;
  size_t i = 0;
  std::string num;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) num += s[i++];
  bool digits = false, point = false;
  for (; i < s.size(); ++i) {
    if (std::isdigit(static_cast<unsigned char>(s[i]))) {
      digits = true;
      num += s[i];
    } else if (s[i] == '.' && !point) {
      point = true;
      num += '.';
    } else {
      break;
    }
  }
  if (!digits) return 0.0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    size_t j = i + 1;
    std::string exp = "e";
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) exp += s[j++];
    const size_t start = j;
    while (j < s.size() && j - start < 4 && std::isdigit(static_cast<unsigned char>(s[j]))) exp += s[j++];
    if (j > start) num += exp;
  }
  const double v = std::strtod(num.c_str(), nullptr);
  return std::isfinite(v) ? v : 0.0;
}

std::string NumberText(double v) {
  char buf[48];
  if (v == std::floor(v) && std::fabs(v) < 1e15)
    std::snprintf(buf, sizeof buf, "%.0f", v);
  else
    std::snprintf(buf, sizeof buf, "%.15G", v);
  std::string t = buf;
  // The runtime writes no zero before the point: ".5", "-.5".
  if (t == "-0") t = "0";
  if (t.rfind("0.", 0) == 0) t.erase(0, 1);
  if (t.rfind("-0.", 0) == 0) t.erase(1, 1);
  return t;
}

Tanks::Ptr Tanks::Add(std::string& key, int32_t mapPosX, int32_t mapPosY, const RECT& descRect) {
  auto t = std::make_shared<Tank>();
  while (Find(key)) {
    double next = LeadingNumber(key) + 1.0;
    std::string candidate = NumberText(next);
    // Past the precision of a double the next number is the same text; the
    // original looped forever there. Count again from 1 instead.
    if (plat::EqualNoCase(candidate, key)) candidate.assign(1, '1');
    key = candidate;
  }
  t->Key = key;
  t->MapPosX = mapPosX;
  t->MapPosY = mapPosY;
  t->DescRECT(descRect);
  t->SingleW = SingleW;
  t->SingleH = SingleH;
  NamedRects& rects = *TankRECT->OrgRECT;
  if (!key.empty() && !rects.Contains(key)) {
    try {
      rects.Add(key, descRect)->ABSXY(1024, 768);
    } catch (const plat::RuntimeError&) {
      // A rectangle too large to park off screen is left where it is.
    }
  }
  Insert(t, key);
  return t;
}

void Tanks::Remove(int position) {
  Ptr t = Get(position);
  if (TankRECT->OrgRECT->Contains(t->Key)) TankRECT->OrgRECT->Remove(t->Key);
  TryRemove(position);
}

void Tanks::Remove(std::string_view key) {
  Get(key);
  if (TankRECT->OrgRECT->Contains(key)) TankRECT->OrgRECT->Remove(key);
  TryRemove(key);
}

void Tanks::RemoveAll() {
  for (int i = Count(); i >= 1; --i) Remove(i);
}

}  // namespace fw
