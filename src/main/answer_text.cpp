#include "main/answer_text.h"

#include <locale>
#include <streambuf>
#include <utility>

#include "common/message_text.h"

namespace intersections {

namespace {

constexpr std::size_t longestFound = 32;

// Passes the characters of `source` through one at a time, keeping each one
// in `source` until the reader has moved past it, and records those taken.
// A character the reader only looked at (the one that ends a number) stays
// in `source` for the next read, as it would after `in >> value`.
class RecordingBuffer : public std::streambuf {
 public:
  RecordingBuffer(std::streambuf* source, std::string& taken) : source_(source), taken_(taken) {}

  // Takes the character in view from `source` if the reader has moved past it.
  void settle() {
    if (gptr() != nullptr && gptr() == egptr()) {
      source_->sbumpc();
      taken_ += held_;
    }
    setg(nullptr, nullptr, nullptr);
  }

 protected:
  int_type underflow() override {
    settle();
    const int_type next = source_->sgetc();
    if (traits_type::eq_int_type(next, traits_type::eof())) return next;
    held_ = traits_type::to_char_type(next);
    setg(&held_, &held_, &held_ + 1);
    return next;
  }

 private:
  std::streambuf* source_;
  std::string& taken_;
  char held_ = 0;
};

template <typename Number>
bool extractRecorded(std::istream& in, Number& value, std::string& taken) {
  RecordingBuffer recording(in.rdbuf(), taken);
  std::istream reader(&recording);
  reader.imbue(in.getloc());
  reader.flags(in.flags());
  reader >> value;
  recording.settle();
  in.setstate(reader.rdstate());
  return !in.fail();
}

}  // namespace

bool extractNumber(std::istream& in, std::int32_t& value, std::string& taken) {
  return extractRecorded(in, value, taken);
}

bool extractNumber(std::istream& in, double& value, std::string& taken) {
  return extractRecorded(in, value, taken);
}

std::string textFound(std::istream& in, const std::string& taken) {
  std::string raw = taken.substr(0, longestFound + 1);
  in.clear();
  std::streambuf* source = in.rdbuf();
  const std::locale locale = in.getloc();
  while (raw.size() <= longestFound) {
    const auto next = source->sgetc();
    if (std::char_traits<char>::eq_int_type(next, std::char_traits<char>::eof())) break;
    const char c = std::char_traits<char>::to_char_type(next);
    if (std::isspace(c, locale)) break;
    raw += c;
    source->sbumpc();
  }
  return shownText(raw, longestFound);
}

}  // namespace intersections
