// The date reader: one left-to-right pass over tokens (numbers, words, separators) that fills the
// calendar fields; every field may be given once, and a field given twice fails the whole text.
// Which field a number fills depends on its size, the separator before it and the character after.
#include "script/library/date_parse.h"

#include <cstdint>
#include <string>

#include "script/library/date_time.h"

namespace velmo::script::library {

namespace {

constexpr int64_t kUnset = -1;
// Digits beyond this stop adding: any field this large already makes the date invalid, and the
// arithmetic on it stays far from overflow.
constexpr int64_t kNumberCap = 1000000000000LL;
constexpr int64_t kFirstYear = 70;  // numbers from here on are years
constexpr int64_t kAm = -1;
constexpr int64_t kPm = -2;
constexpr int64_t kZoneAction = 10000;  // zone words: kZoneAction + (UTC - local) in minutes

struct DateWord {
    std::string_view text;
    int64_t action;  // 0 ignored, kAm, kPm, 1 to 12 a month, kZoneAction + minutes a zone
};
constexpr DateWord kWords[] = {
    {"am", kAm},
    {"pm", kPm},
    {"monday", 0},
    {"tuesday", 0},
    {"wednesday", 0},
    {"thursday", 0},
    {"friday", 0},
    {"saturday", 0},
    {"sunday", 0},
    {"january", 1},
    {"february", 2},
    {"march", 3},
    {"april", 4},
    {"may", 5},
    {"june", 6},
    {"july", 7},
    {"august", 8},
    {"september", 9},
    {"october", 10},
    {"november", 11},
    {"december", 12},
    {"gmt", kZoneAction},
    {"ut", kZoneAction},
    {"utc", kZoneAction},
    {"est", kZoneAction + 300},
    {"edt", kZoneAction + 240},
    {"cst", kZoneAction + 360},
    {"cdt", kZoneAction + 300},
    {"mst", kZoneAction + 420},
    {"mdt", kZoneAction + 360},
    {"pst", kZoneAction + 480},
    {"pdt", kZoneAction + 420},
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
// White space and the control characters.
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' ' || c == 0x7F; }

// `word` (already lower-case) names `entry` when it is the whole entry, or a prefix of it at
// least three letters long: "jan", "janu" and "january" all name January, "ja" nothing. Short
// entries ("am", "ut") are therefore matched only whole, and no two entries share a
// three-letter prefix, so the backward scan order never decides between candidates.
bool NamesEntry(std::string_view word, std::string_view entry) {
    if (word.size() > entry.size() || (word.size() < 3 && word.size() != entry.size())) return false;
    return entry.substr(0, word.size()) == word;
}

const DateWord* FindWord(std::string_view word) {
    for (size_t k = std::size(kWords); k-- > 0;)
        if (NamesEntry(word, kWords[k].text)) return &kWords[k];
    return nullptr;
}

bool Fill(int64_t& field, int64_t value) {
    if (field != kUnset) return false;
    field = value;
    return true;
}

class DateTextReader {
public:
    explicit DateTextReader(std::string_view text) : text_(text) {}

    std::optional<double> Read(double zoneOffsetMs);

private:
    bool Token();
    void SkipComment();
    bool Number();
    bool PlaceNumber(int64_t n, char next);
    bool ZoneOffset(int64_t n);
    bool FreeNumber(int64_t n);
    bool Word();
    bool WordAction(int64_t action);
    char Peek(size_t at) const { return at < text_.size() ? text_[at] : '\0'; }

    std::string_view text_;
    size_t pos_ = 0;
    char separator_ = 0;                                      // '+', '-', '/' or ':' since the last number or word
    bool afterOffset_ = false;                                // the last number was a zone offset
    int64_t offsetSign_ = 1;                                  // of that offset, in the (UTC - local) sense
    int64_t year_ = kUnset, month_ = kUnset, date_ = kUnset;  // month 0 to 11
    int64_t hours_ = kUnset, minutes_ = kUnset, seconds_ = kUnset;
    bool hasZone_ = false, hasNumericOffset_ = false;
    int64_t zoneMinutes_ = 0;  // UTC - local
};

std::optional<double> DateTextReader::Read(double zoneOffsetMs) {
    while (pos_ < text_.size())
        if (!Token()) return std::nullopt;
    if (year_ == kUnset || month_ == kUnset || date_ == kUnset) return std::nullopt;
    const double day = MakeDay(static_cast<double>(year_), static_cast<double>(month_), static_cast<double>(date_));
    const double time = MakeTime(static_cast<double>(hours_ == kUnset ? 0 : hours_),
                                 static_cast<double>(minutes_ == kUnset ? 0 : minutes_),
                                 static_cast<double>(seconds_ == kUnset ? 0 : seconds_), 0);
    const double local = MakeDate(day, time);
    const double t = local + (hasZone_ ? static_cast<double>(zoneMinutes_) * kMsPerMinute : zoneOffsetMs);
    if (!IsValidTime(t)) return std::nullopt;
    return t;
}

bool DateTextReader::Token() {
    const char c = text_[pos_];
    if (IsBlank(c) || c == ',') {
        ++pos_;
        return true;
    }
    if (c == '(') {
        SkipComment();
        return true;
    }
    if (IsDigit(c)) return Number();
    if (IsLetter(c)) return Word();
    if (c == '/' || c == ':' || ((c == '+' || c == '-') && IsDigit(Peek(pos_ + 1)))) {
        separator_ = c;
        ++pos_;
        return true;
    }
    return false;
}

// Parentheses nest; an unclosed comment runs to the end of the text.
void DateTextReader::SkipComment() {
    int depth = 0;
    for (; pos_ < text_.size(); ++pos_) {
        if (text_[pos_] == '(') ++depth;
        if (text_[pos_] == ')' && --depth == 0) {
            ++pos_;
            return;
        }
    }
}

bool DateTextReader::Number() {
    int64_t n = 0;
    for (; pos_ < text_.size() && IsDigit(text_[pos_]); ++pos_)
        if (n < kNumberCap) n = n * 10 + (text_[pos_] - '0');
    const bool placed = PlaceNumber(n, Peek(pos_));
    separator_ = 0;
    return placed;
}

bool DateTextReader::PlaceNumber(int64_t n, char next) {
    if (separator_ == '+' || separator_ == '-') return ZoneOffset(n);
    const bool wasAfterOffset = afterOffset_;
    afterOffset_ = false;
    if (n >= kFirstYear) {
        if (!(next == '\0' || IsBlank(next) || next == ',' || next == '/')) return false;
        return Fill(year_, n < 100 ? n + 1900 : n);
    }
    if (next == ':') return Fill(hours_, n) || Fill(minutes_, n) || Fill(seconds_, n);
    if (next == '/') return month_ == kUnset ? Fill(month_, n - 1) : Fill(date_, n);
    if (wasAfterOffset && n < 60) {  // the minutes of "GMT+5:30"
        zoneMinutes_ += offsetSign_ * n;
        return true;
    }
    return FreeNumber(n);
}

// "+" means east of Greenwich, where local time is ahead: a negative (UTC - local). Below 24 the
// number counts hours, otherwise it is written hhmm. A zone word may be qualified by an offset
// only when it is a name of UTC itself ("GMT+100", the form toString writes).
bool DateTextReader::ZoneOffset(int64_t n) {
    if (hasNumericOffset_ || (hasZone_ && zoneMinutes_ != 0)) return false;
    offsetSign_ = separator_ == '+' ? -1 : 1;
    const int64_t minutes = n < 24 ? n * 60 : n / 100 * 60 + n % 100;
    zoneMinutes_ = offsetSign_ * minutes;
    hasZone_ = hasNumericOffset_ = true;
    afterOffset_ = true;
    return true;
}

// A number that nothing after it places. After ":" it goes on with the time ("10:00" then "00" is
// the minutes, "10:00:00" the seconds), so a time written before the date still reads right;
// otherwise the first empty field of date, hours, minutes, seconds takes it.
bool DateTextReader::FreeNumber(int64_t n) {
    if (separator_ == ':') return Fill(hours_, n) || Fill(minutes_, n) || Fill(seconds_, n);
    return Fill(date_, n) || Fill(hours_, n) || Fill(minutes_, n) || Fill(seconds_, n);
}

bool DateTextReader::Word() {
    std::string word;
    for (; pos_ < text_.size() && IsLetter(text_[pos_]); ++pos_) word += Lower(text_[pos_]);
    separator_ = 0;
    afterOffset_ = false;
    const DateWord* entry = FindWord(word);
    return entry && WordAction(entry->action);
}

bool DateTextReader::WordAction(int64_t action) {
    if (action == 0) return true;  // a day name says nothing the date does not
    if (action == kAm || action == kPm) {
        if (hours_ == kUnset || hours_ > 12) return false;
        if (action == kAm && hours_ == 12) hours_ = 0;
        if (action == kPm && hours_ != 12) hours_ += 12;
        return true;
    }
    if (action <= 12) return Fill(month_, action - 1);
    if (hasZone_) return false;
    hasZone_ = true;
    zoneMinutes_ = action - kZoneAction;
    return true;
}

}  // namespace

std::optional<double> ParseDateText(std::string_view text, double zoneOffsetMs) {
    return DateTextReader(text).Read(zoneOffsetMs);
}

}  // namespace velmo::script::library
