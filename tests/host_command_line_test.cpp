// The command-line parser on the switches the screen-saver machinery and users give, and the two closing
// rules both hosts share.
#include <gtest/gtest.h>

#include "host/command_line.h"
#include "host/saver_context.h"

TEST(CommandLine, SwitchesWindowNumbersAndProgramNames) {
    using M = SaverMode;
    const struct { const char* line; SaverMode mode; int32_t window; bool foreground; } cases[] = {
        {"quillon.scr    ", M::Configure, 0, false}, {"", M::Configure, 0, false},
        {"quillon.scr /c", M::Configure, 0, true},  // no window: the foreground one owns the dialog
        {"quillon.scr /c : ", M::Configure, 0, true},  // blanks and colons only: still no window
        {"quillon.scr /c:1234", M::Configure, 1234, false}, {"quillon.scr /C 1234", M::Configure, 1234, false},
        {"quillon.scr -s", M::Saver, 0, false}, {"quillon.scr /scr", M::Saver, 0, false},
        {"quillon.scr s", M::Saver, 0, false}, {"quillon.scr /S 1234", M::Saver, 0, false},
        {"quillon.scr /p:1234", M::Preview, 1234, false}, {"quillon.scr /P1234", M::Preview, 1234, false},
        {"quillon.scr /l 1234", M::Preview, 1234, false}, {"quillon.scr /a 1234", M::ChangePassword, 1234, false},
        // Malformed window numbers: colons and blanks skipped, a sign kept, letters end the number.
        {"quillon.scr /p : :-77", M::Preview, -77, false}, {"quillon.scr /preview 1234", M::Preview, 0, false},
        {"quillon.scr /p 12ab", M::Preview, 12, false}, {"quillon.scr /p", M::Preview, 0, false},
        {"quillon.scr /x", M::Unset, 0, false}, {"quillon.scr //s", M::Unset, 0, false},
        {"quillon.scr --s", M::Unset, 0, false}, {"quillon.scr /", M::Unset, 0, false},
        {"quillon.scr -", M::Unset, 0, false},
        {"\"C:\\Program Files\\quillon.scr\" /s", M::Saver, 0, false}, {"\"unterminated /s", M::Configure, 0, false},
        // An unquoted path ends at its first blank; the rest is read as the switch.
        {"C:\\Program Files\\quillon.scr /s", M::Unset, 0, false},
        // A tab is not a blank: part of an unquoted name, a switch letter after a quoted one.
        {"quillon.scr\t/s", M::Configure, 0, false}, {"\"quillon.scr\"\t/s", M::Unset, 0, false},
    };
    for (const auto& c : cases) {
        const CommandLine parsed = parseCommandLine(c.line);
        EXPECT_TRUE(parsed.mode == c.mode && currentMode == c.mode && parsed.window == c.window &&
                    parsed.ownerIsForeground == c.foreground)
            << "[" << c.line << "]: mode " << int(parsed.mode) << ", window " << parsed.window;
    }
    EXPECT_EQ(parseCommandLine(nullptr).mode, SaverMode::Configure);
}

// A move ends the saver once it exceeds the threshold on either axis, either way; the grace period includes
// its last millisecond, counts seconds, and ends even when the tick counter wraps in between.
TEST(ClosingRules, ThresholdOnEitherAxisAndGraceAcrossTheWrap) {
    const CursorPoint start{100, 100};
    for (CursorPoint now : {CursorPoint{151, 100}, CursorPoint{49, 100}, CursorPoint{100, 151}, CursorPoint{100, 49}})
        EXPECT_TRUE(cursorBeyondThreshold(start, now, 50)) << now.x << "," << now.y;
    for (CursorPoint now : {CursorPoint{150, 150}, CursorPoint{50, 50}})
        EXPECT_FALSE(cursorBeyondThreshold(start, now, 50)) << now.x << "," << now.y;
    // On a monitor left of and above the primary one the coordinates are negative, the rule the same.
    EXPECT_FALSE(cursorBeyondThreshold({-700, -20}, {-650, 30}, 50));
    EXPECT_TRUE(cursorBeyondThreshold({-700, -20}, {-751, -20}, 50));
    EXPECT_TRUE(cursorBeyondThreshold({-700, -20}, {-700, 31}, 50));
    EXPECT_TRUE(cursorBeyondThreshold(start, start, -1) && !cursorBeyondThreshold(start, start, 0));  // any move at 0
    const uint32_t tick = 0xFFFFF000u;  // 4096 ms before the wrap
    EXPECT_TRUE(withinGracePeriod(tick, tick + 20u, 15) && withinGracePeriod(tick, tick + 15000u, 15));
    EXPECT_FALSE(withinGracePeriod(tick, tick + 15001u, 15));
}
