#include "core/HrException.h"
#include "core/MessageLog.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace {

TEST(MessageLog, AppendsMessagesWithCrLfAndTakeEmpties) {
    MessageLog& log = MessageLog::Instance();
    log.Clear();
    log.Append(u"ReadMotion Fail.");
    log.AppendUtf8("模型 ✓");
    EXPECT_EQ(log.Peek(), u"ReadMotion Fail.\r\n模型 ✓\r\n");
    EXPECT_EQ(log.TakeAll(), u"ReadMotion Fail.\r\n模型 ✓\r\n");
    EXPECT_EQ(log.TakeAll(), u"");
}

TEST(MessageLog, ConcurrentWritersNeverInterleaveWithinAMessage) {
    MessageLog& log = MessageLog::Instance();
    log.Clear();
    constexpr int kThreads = 8;
    constexpr int kMessages = 500;
    std::u16string taken;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t, &log] {
            for (int i = 0; i < kMessages; ++i) {
                const std::string text = "writer " + std::to_string(t) + " message " + std::to_string(i);
                if (i % 2) log.AppendUtf8(text);
                else log.Append(std::u16string(text.begin(), text.end()));
            }
        });
    }
    // A reader takes the log while the writers run, as the main page does.
    std::thread reader([&] {
        for (int i = 0; i < 200; ++i) taken += log.TakeAll();
    });
    for (std::thread& w : writers) w.join();
    reader.join();
    taken += log.TakeAll();

    std::set<std::u16string> seen;
    size_t start = 0;
    while (start < taken.size()) {
        const size_t end = taken.find(u"\r\n", start);
        ASSERT_NE(end, std::u16string::npos) << "message without its CR LF";
        seen.insert(taken.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kMessages));
    for (int t = 0; t < kThreads; ++t) {
        const std::string text = "writer " + std::to_string(t) + " message " + std::to_string(kMessages - 1);
        EXPECT_EQ(seen.count(std::u16string(text.begin(), text.end())), 1u);
    }
}

TEST(HrException, MessageCarriesTheCodeAsEightHexDigits) {
    const std::pair<int32_t, const char*> cases[] = {
        {static_cast<int32_t>(0x887A0005), "HRESULT of 0x887A0005"},
        {-4, "HRESULT of 0xFFFFFFFC"},  // VK_ERROR_DEVICE_LOST
        {-1000001004, "HRESULT of 0xC4653214"},  // VK_ERROR_OUT_OF_DATE_KHR
        {0x1A, "HRESULT of 0x0000001A"},
    };
    for (const auto& [code, text] : cases) {
        const HrException e(code);
        EXPECT_STREQ(e.what(), text);
        EXPECT_EQ(e.Error(), code);
    }
}

TEST(HrException, ThrowIfFailedThrowsOnlyForFailureCodes) {
    EXPECT_NO_THROW(ThrowIfFailed(0));
    EXPECT_NO_THROW(ThrowIfFailed(5));  // VK_INCOMPLETE and other positive codes are not failures
    try {
        ThrowIfFailed(-3);
        FAIL() << "no exception";
    } catch (const HrException& e) {
        EXPECT_EQ(e.Error(), -3);
        EXPECT_STREQ(e.what(), "HRESULT of 0xFFFFFFFD");
    }
}

}  // namespace
