// The Date class where the local zone matters (each test fixes TZ before the engine reads it),
// and the date reader and calendar arithmetic where scripts cannot reach the edges.
#include <time.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/make_engine.h"
#include "script/library/date_parse.h"
#include "script/library/date_time.h"
#include "script/runtime/internal/interpreter.h"
#include "tests/support/scratch.h"

namespace velmo::script::library {

namespace {

// The process's zone for the life of the object; the previous one comes back afterwards.
class ZoneScope {
public:
    explicit ZoneScope(const char* tz) : env_("TZ", std::string(tz)) { tzset(); }
    ~ZoneScope() { tzset(); }  // runs before env_ restores TZ; the platform re-reads it anyway

private:
    testing::ScopedEnvironment env_;
};

// Trace lines of `source` run in `engine`; "<failed>" and the error when the run fails.
std::vector<std::string> RunScript(Engine& engine, const std::string& source) {
    std::vector<std::string> lines;
    engine.Interp().SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
    if (engine.RunSourceText(source) != 1) lines.push_back("<failed> " + engine.ErrorText());
    return lines;
}

std::vector<std::string> RunInZone(const char* tz, const std::string& source) {
    const ZoneScope zone(tz);
    const auto engine = host::MakeEngine();
    return engine ? RunScript(*engine, source) : std::vector<std::string>{"<no engine>"};
}

using Lines = std::vector<std::string>;

// TZ steers the C library's zone, which the headless clock reads; the Windows clock reads the
// system's zone settings, which a test cannot change.
class DateZone : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(_WIN32)
        GTEST_SKIP() << "the zone comes from the system's settings, not from TZ";
#endif
    }
};

}  // namespace

TEST_F(DateZone, LocalTextWritesTheZoneAsSignedHoursAndMinutes) {
    const std::string source =
        "d = new Date(0); trace(d.toString()); trace(d.toLocaleString()); trace(d.getTimezoneOffset());"
        "trace(d.getHours(), ' ', d.getDay(), ' ', d.getUTCHours(), ' ', d.getUTCDay());";
    EXPECT_EQ(RunInZone("EST5", source),
              (Lines{"Wed Dec 31 19:00:00 GMT-500 1969", "Wed Dec 31 19:00:00 GMT-500 1969", "300", "19 3 0 4"}));
    EXPECT_EQ(RunInZone("IST-5:30", source),
              (Lines{"Thu Jan 01 05:30:00 GMT+530 1970", "Thu Jan 01 05:30:00 GMT+530 1970", "-330", "5 4 0 4"}));
    EXPECT_EQ(RunInZone("UTC0", source),
              (Lines{"Thu Jan 01 00:00:00 GMT+000 1970", "Thu Jan 01 00:00:00 GMT+000 1970", "0", "0 4 0 4"}));
    EXPECT_EQ(RunInZone("UTC0", "trace(new Date(Date.UTC(0, 0, 1)).toString());"),
              (Lines{"Sat Jan 01 00:00:00 GMT+000 0001 B.C."}));
}

TEST_F(DateZone, DaylightTimeInEffectAtRegistrationUsesTheDaylightBias) {
    // Daylight saving time all year round, so the answer does not depend on today's date.
    EXPECT_EQ(RunInZone("EST5EDT,0/0,J365/25", "trace(new Date(0).getTimezoneOffset());"), (Lines{"240"}));
}

TEST_F(DateZone, OffsetIsFixedWhenTheClassIsRegistered) {
    const ZoneScope eastern("EST5");
    const auto engine = host::MakeEngine();
    ASSERT_TRUE(engine);
    const ZoneScope universal("UTC0");
    EXPECT_EQ(RunScript(*engine, "trace(new Date(0).getTimezoneOffset(), ' ', new Date(0).getHours());"),
              (Lines{"300 19"}));
}

TEST_F(DateZone, LocalFormsUseTheZoneAndUtcFormsDoNot) {
    const std::string source =
        "trace(Date.parse('Jan 2, 2007 10:00') - Date.parse('Jan 2, 2007 10:00 GMT'));"
        "trace(new Date(2007, 0, 2, 10).getTime() - Date.UTC(2007, 0, 2, 10));"
        "d = new Date(Date.UTC(2000, 0, 1, 2)); trace(d.getYear(), ' ', d.getUTCFullYear());"
        "d.setHours(0); trace(d.getUTCDate(), ' ', d.getUTCHours());"
        "d.setUTCHours(0); trace(d.getDate(), ' ', d.getHours());";
    // 2000-01-01 02:00 UTC is 1999-12-31 21:00 in the east of America; local midnight is 05:00 UTC.
    EXPECT_EQ(RunInZone("EST5", source), (Lines{"18000000", "18000000", "99 2000", "31 5", "30 19"}));
    // 07:30 local on 2000-01-01; setHours keeps the minutes, so 00:30 local, 19:00 UTC the day before.
    EXPECT_EQ(RunInZone("IST-5:30", source), (Lines{"-19800000", "-19800000", "2000 2000", "31 19", "31 5"}));
}

TEST(DateParse, RefusesTextsThatAreNotDates) {
    const char* const refused[] = {
        "",                                     // nothing at all
        "Jan 2",                                // no year
        "2007 10:00",                           // no month, no date
        "Jan 2 99999999999999999999999 GMT",    // a year far past the valid range
        "Jan 2 2007 GMT+99999999999999999999",  // an offset far past it
        "Jan 2 2007 +0100 +0200",               // two offsets
        "Jan 2 2007 EST +0100",                 // an offset on a zone other than UTC
        "Jan 2 2007 10 pm pm",                  // 22 is past 12
        "Jan 2 2007 10:00 x",                   // an unknown word
        "Jan 2 2007 10.5",                      // a stray character
        "Jan 2 2007 10:00 GMT)",                // a stray closing parenthesis
        "Jan 2 2007 - 10:00",                   // a sign without a number
        "Jan 2 2007x",                          // a year not followed by a separator
        "Jan 2 1/2/2007",                       // month and date given twice
    };
    for (const char* text : refused) EXPECT_FALSE(ParseDateText(text, 0).has_value()) << text;
}

TEST(DateParse, ReadsFieldsInAnyOrderAndAppliesZones) {
    const double jan2 = 1167696000000.0;  // 2007-01-02 00:00 UTC
    const struct {
        const char* text;
        double want;
    } rows[] = {
        {"(a (nested) comment) 2 jan 2007", jan2},
        {"Tuesday JANUARY 2 2007 (unclosed", jan2},
        {"1/2/2007 12 pm", jan2 + 12 * kMsPerHour},
        {"Jan 2 2007 GMT+0130", jan2 - 90 * kMsPerMinute},
        {"Jan 2 2007 -1:30", jan2 + 90 * kMsPerMinute},
        {"Jan 2 2007 10:20:30 cdt", jan2 + (15 * 60 + 20) * kMsPerMinute + 30 * kMsPerSecond},
        {"Jan\t2,\x01 2007", jan2},
    };
    for (const auto& row : rows) {
        const auto t = ParseDateText(row.text, 0);
        ASSERT_TRUE(t.has_value()) << row.text;
        EXPECT_EQ(*t, row.want) << row.text;
    }
    EXPECT_EQ(ParseDateText("Jan 2 2007", 5 * kMsPerHour), jan2 + 5 * kMsPerHour);  // local without a zone
}

TEST(DateTime, FieldsRoundTripAcrossTheWholeValidRange) {
    // Year starts on both sides of leap and century years, and the two ends of the range.
    const double times[] = {-kMaxTimeMs, -62135596800001.0, -1, 0, 951782400000.0, 4107542399999.0, kMaxTimeMs};
    for (double t : times) {
        const auto f = BreakDown(t);
        ASSERT_TRUE(f.has_value()) << t;
        EXPECT_EQ(ComposeTime(*f), t) << t;
        EXPECT_GE((*f)[DateField::Month], 0);
        EXPECT_LE((*f)[DateField::Month], 11);
    }
    EXPECT_FALSE(BreakDown(kMaxTimeMs + 1).has_value());
    EXPECT_FALSE(BreakDown(NAN).has_value());
    EXPECT_TRUE(std::isnan(MakeDay(INFINITY, 0, 1)));
    EXPECT_EQ(YearFromTime(-62135596800001.0), 0);  // the last millisecond of 1 B.C.
}

}  // namespace velmo::script::library
