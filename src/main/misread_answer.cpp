#include "main/misread_answer.h"

#include <locale>

#include "common/message_text.h"

namespace intersections {

namespace {

using Traits = std::char_traits<char>;

// As much of the word that starts `from` places ahead as a message shows.
std::string wordAhead(LookaheadBuffer& input, std::size_t from) {
  constexpr std::size_t longest = 33;  // one more than a message shows, so it knows to cut
  std::string word;
  for (std::size_t at = from; word.size() < longest; ++at) {
    const auto next = input.peekAt(at);
    if (Traits::eq_int_type(next, Traits::eof())) break;
    const char c = Traits::to_char_type(next);
    if (std::isspace(c, std::locale::classic())) break;
    word += c;
  }
  return shownText(word, longest - 1);
}

}  // namespace

LookaheadBuffer::int_type LookaheadBuffer::underflow() {
  if (gptr() != nullptr && gptr() < egptr()) return Traits::to_int_type(*gptr());
  return peekAt(0);
}

LookaheadBuffer::int_type LookaheadBuffer::peekAt(std::size_t offset) {
  // What has been read is gone; the rest of the get area stays first.
  if (gptr() != nullptr) ahead_.erase(0, static_cast<std::size_t>(gptr() - eback()));
  while (ahead_.size() <= offset) {
    const int_type next = source_->sbumpc();
    if (Traits::eq_int_type(next, Traits::eof())) break;
    ahead_ += Traits::to_char_type(next);
  }
  setg(ahead_.data(), ahead_.data(), ahead_.data() + ahead_.size());
  return offset < ahead_.size() ? Traits::to_int_type(ahead_[offset]) : Traits::eof();
}

void warnOfMisreadAnswer(LookaheadBuffer& input, const char* name, std::int32_t value, bool last,
                         std::ostream& err) {
  const auto next = input.peekAt(0);
  if (Traits::eq_int_type(next, Traits::to_int_type('.')) ||
      Traits::eq_int_type(next, Traits::to_int_type('e')) ||
      Traits::eq_int_type(next, Traits::to_int_type('E'))) {
    err << "intersections: warning: " << name << " was read as " << value << "; \""
        << wordAhead(input, 0) << (last ? "\" is not used\n" : "\" is taken as the next answer\n");
    return;
  }
  if (!last) return;
  // Blanks up to the line break or the end are nothing to warn of.
  std::size_t at = 0;
  for (auto c = next; !Traits::eq_int_type(c, Traits::eof()); c = input.peekAt(++at)) {
    const char blank = Traits::to_char_type(c);
    if (blank == '\n') return;
    if (!std::isspace(blank, std::locale::classic())) {
      err << "intersections: warning: the line goes on after " << name << "; \""
          << wordAhead(input, at) << "\" is not used\n";
      return;
    }
  }
}

}  // namespace intersections
