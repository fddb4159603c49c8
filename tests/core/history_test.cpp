#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "apps/history/history_file.h"
#include "apps/history/history_query.h"
#include "platform/platform_shared_files.h"

namespace {

HistoryRecord record(const char* time, const char* device, const char* serial, const char* outcome) {
    HistoryRecord r;
    r.time = time;
    r.device = device;
    r.serial = serial;
    r.outcome = outcome;
    return r;
}

std::string freshFolder() {
    std::string folder;
    char why[256];
    EXPECT_TRUE(privateFolderCreate("history-test", &folder, why, sizeof why)) << why;
    return folder;
}

}  // namespace

TEST(History, ARecordReadsBackByteForByte) {
    HistoryRecord r = record("2026-12-09T06:40:00Z", "127.0.0.2", "ORB0012345", "success");
    r.product = std::string("ORB\xE9\x1b[2J\"x\\y", 12);
    r.after = "7.5.3";
    r.code = 7;
    r.attempts = 3;
    r.phasesMs = {{"status", 120}, {"transfer", 4100}, {"restart", 61000}};
    const std::string line = historyLine(r);
    ASSERT_EQ(line.find('\n'), line.size() - 1) << "one record, one line";
    HistoryRecord back;
    ASSERT_TRUE(parseHistoryLine(line, &back));
    EXPECT_EQ(back.product, r.product);
    EXPECT_EQ(back.after, "7.5.3");
    EXPECT_EQ(back.code, 7);
    EXPECT_EQ(back.attempts, 3);
    EXPECT_EQ(back.phasesMs, r.phasesMs);
    for (const char* notRecord : {"", "{}", "[1]", "{\"time\":\"x\",\"device\":\"d\"", "{\"time\":1,\"device\":\"d\",\"outcome\":\"o\"}"})
        EXPECT_FALSE(parseHistoryLine(notRecord, &back)) << notRecord;
}

TEST(History, AppendsAtOnceNeverMixAndACutLastLineIsReported) {
    const std::string folder = freshFolder();
    const std::string path = folder + "/state/orb/history.jsonl";
    std::string why;
    ASSERT_TRUE(historyWritable(path, true, &why)) << why;
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w)
        writers.emplace_back([&, w] {
            HistoryRecord r = record("2026-12-09T06:40:00Z", "127.0.0.2", "ORB0012345", "success");
            r.product = std::string(300 + w * 700, 'P');  // records of several sizes
            for (int i = 0; i < 100; ++i) {
                std::string error;
                EXPECT_TRUE(appendHistory(path, r, &error)) << error;
            }
        });
    for (std::thread& writer : writers) writer.join();
    std::ofstream(path, std::ios::app) << "{\"time\":\"2026-12-09T07:00:00Z\",\"dev";
    HistoryRead read;
    ASSERT_TRUE(readHistory(path, &read, &why)) << why;
    EXPECT_EQ(read.records.size(), 400u);
    EXPECT_EQ(read.damagedLines, std::vector<int>{401});
    EXPECT_TRUE(read.lastLineCut);
    EXPECT_FALSE(historyWritable(folder + "/missing/history.jsonl", false, &why)) << "no folder made unasked";
    ASSERT_TRUE(readHistory(folder + "/none.jsonl", &read, &why));
    EXPECT_TRUE(read.records.empty());
    std::filesystem::remove_all(folder);
}

TEST(History, AQuestionNamesDevicesByAddressOrSerialNewestFirst) {
    const std::vector<HistoryRecord> all = {
        record("2026-12-08T23:00:00Z", "127.0.0.2", "ORB0012345", "a"),
        record("2026-12-09T01:00:00Z", "127.0.0.3", "ORB0012346", "b"),
        record("2026-12-09T01:00:00Z", "127.0.0.2", "ORB0012345", "c"),
        record("2026-12-09T02:00:00Z", "127.0.0.9", "", "d"),
    };
    struct Row {
        HistoryQuery query;
        std::string outcomes;
    } rows[] = {
        {{}, "dcba"},
        {{{"127.0.0.2"}, ""}, "ca"},
        {{{"orb0012346", "127.0.0.9"}, ""}, "db"},
        {{{}, "2026-12-09"}, "dcb"},
        {{{"ORB0012345"}, "2026-12-09T01:00"}, "c"},
        {{{"nobody"}, ""}, ""},
    };
    for (const Row& row : rows) {
        std::string got;
        for (const HistoryRecord& r : selectHistory(all, row.query)) got += r.outcome;
        EXPECT_EQ(got, row.outcomes) << row.query.since;
    }
    for (const char* good : {"2026-12-09", "2026-12-09T01:00", "2026-12-09T01:00:59"}) EXPECT_TRUE(historySinceValid(good));
    for (const char* bad : {"", "2026-12-9", "2026/12/09", "2026-12-09 01:00", "yesterday"})
        EXPECT_FALSE(historySinceValid(bad)) << bad;
    const std::string table = historyTable({record("2026-12-09T02:00:00Z", "127.0.0.9", "SN\x1b[31m1", "d")});
    EXPECT_NE(table.find("SN\\x1b[31m1"), std::string::npos) << table;
    EXPECT_EQ(table.find('\x1b'), std::string::npos) << "device text shown, never obeyed";
}
