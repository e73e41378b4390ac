#include "ranging/service/status_texts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string StatusText(int status) {
    char text[kStatusTextSize];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(VL53L0X_StatusText(static_cast<SensorStatus>(status), text), 0);
    return text;
}

std::string RangeText(int rangeStatus) {
    char text[kStatusTextSize];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(VL53L0X_RangeStatusText(static_cast<uint8_t>(rangeStatus), text), 0);
    return text;
}

TEST(StatusTexts, EveryStatusCodeHasItsTextAndOthersFallBack) {
    const struct {
        int code;
        const char *text;
    } cases[] = {
        {0, "No Error"},
        {-1, "Calibration Warning Error"},
        {-2, "Min clipped error"},
        {-3, "Undefined error"},
        {-4, "Invalid parameters error"},
        {-5, "Not supported error"},
        {-6, "Range error"},
        {-7, "Time out error"},
        {-8, "Mode not supported error"},
        {-9, "Buffer too small"},
        {-10, "GPIO not existing"},
        {-11, "GPIO funct not supported"},
        {-12, "Interrupt not Cleared"},
        {-20, "Control Interface Error"},
        {-30, "Invalid Command Error"},
        {-40, "Division by zero Error"},
        {-50, "Reference Spad Init Error"},
        {-99, "Not implemented error"},
        {1, "Unknown Error Code"},
        {127, "Unknown Error Code"},
        {-13, "Unknown Error Code"},
        {-19, "Unknown Error Code"},
        {-21, "Unknown Error Code"},
        {-49, "Unknown Error Code"},
        {-98, "Unknown Error Code"},
        {-100, "Unknown Error Code"},
        {-128, "Unknown Error Code"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(StatusText(c.code), c.text) << "status " << c.code;
}

TEST(StatusTexts, EveryRangeStatusHasItsTextAndOthersSayNoUpdate) {
    const char *const known[] = {"Range Valid",    "Sigma Fail", "Signal Fail",
                                 "Min Range Fail", "Phase Fail", "Hardware Fail"};
    for (int code = 0; code < 6; ++code)
        EXPECT_EQ(RangeText(code), known[code]) << "range status " << code;
    for (int code : {6, 7, 128, 254, 255})
        EXPECT_EQ(RangeText(code), "No Update") << "range status " << code;
}

} // namespace
