#include "store/disposition.h"

#include <gtest/gtest.h>

using namespace yield;

TEST(Disposition, FieldsAreCheckedBeforeAnythingIsWritten) {
    EXPECT_EQ(CheckDisposition(kDisposeRepaired, "ana", ""), "");
    EXPECT_EQ(CheckDisposition(kDisposeScrapped, "Zoë", "line 1\nline 2 – ok"), "");
    EXPECT_NE(CheckDisposition("fixed", "ana", ""), "");
    EXPECT_NE(CheckDisposition(kDisposeReturned, "", ""), "");
    EXPECT_NE(CheckDisposition(kDisposeReturned, std::string(kDisposeByBytes + 1, 'a'), ""), "");
    EXPECT_NE(CheckDisposition(kDisposeReturned, "ana", std::string(kDisposeNoteBytes + 1, 'a')),
              "");
    EXPECT_NE(CheckDisposition(kDisposeReturned, "ana\n", ""), "");
    EXPECT_NE(CheckDisposition(kDisposeReturned, "ana", "esc\x1b[2J"), "");
    EXPECT_NE(CheckDisposition(kDisposeReturned, "ana", "c1 \xc2\x85"), "");
    EXPECT_NE(CheckDisposition(kDisposeReturned, "ana\xff", ""), "");
    EXPECT_NE(CheckDisposition(kDisposeReturned, "ana", std::string("nul\0x", 5)), "");
}
