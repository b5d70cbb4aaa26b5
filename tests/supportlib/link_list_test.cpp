#include "support/link_list.h"

#include "support/errors.h"

#include <gtest/gtest.h>

#include <climits>

namespace zbpv {
namespace {

TEST(LinkList, KeysIgnoreLetterCaseByDefault) {
    TLinkList list;
    list.PutLink("Hans", 10);
    list.PutLink("M\xFCller", 11);
    EXPECT_EQ(list.GetLink("HANS"), 10);
    EXPECT_EQ(list.GetLink("m\xDCLLER"), 11);
    EXPECT_EQ(list.GetLink("Eva"), 0);
    list.PutLink("hans", 12);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Key(0), "Hans");
    EXPECT_EQ(list.Value(0), 12);
}

TEST(LinkList, CaseSensitiveListKeepsKeysApart) {
    TLinkList list(true);
    list.PutLink("ADM", 1);
    list.PutLink("adm", 2);
    EXPECT_EQ(list.GetLink("ADM"), 1);
    EXPECT_EQ(list.GetLink("adm"), 2);
    EXPECT_EQ(list.GetLink("Adm"), 0);
    // Made case-insensitive, the first of the now equal keys answers.
    list.SetCaseSensitive(false);
    EXPECT_EQ(list.GetLink("Adm"), 1);
}

TEST(LinkList, IncLinkCountsFromZero) {
    TLinkList list;
    list.IncLink("7");
    list.IncLink("7");
    list.PutLink("8", 5);
    list.IncLink("8");
    EXPECT_EQ(list.GetLink("7"), 2);
    EXPECT_EQ(list.GetLink("8"), 6);
    list.PutLink("max", INT_MAX);
    EXPECT_THROW(list.IncLink("max"), EConvertError);
    EXPECT_EQ(list.GetLink("max"), INT_MAX);
}

TEST(LinkList, KeysMayHoldTheColon) {
    TLinkList list;
    list.PutLink("Konto: B\xFCro", 30);
    list.PutLink("Konto", 31);
    EXPECT_EQ(list.GetLink("Konto: B\xFCro"), 30);
    EXPECT_EQ(list.GetLink("Konto"), 31);
    EXPECT_EQ(list.GetLink(""), 0);
}

TEST(LinkList, SortedListKeepsKeyOrderAndFindsEveryKey) {
    TLinkList list;
    for (int i = 0; i < 200; ++i) {
        list.PutLink("k" + std::to_string((i * 37) % 200), i);
    }
    list.SetSorted(true);
    list.PutLink("K5", 1000);
    list.PutLink("a", 1001);
    EXPECT_EQ(list.Count(), 201);
    for (int i = 1; i < list.Count(); ++i) {
        EXPECT_LT(list.Key(i - 1), list.Key(i));
    }
    EXPECT_EQ(list.GetLink("k5"), 1000);
    EXPECT_EQ(list.IndexOf("A"), 0);
    for (int i = 0; i < 200; ++i) {
        int key = (i * 37) % 200;
        EXPECT_EQ(list.GetLink("k" + std::to_string(key)), key == 5 ? 1000 : i);
    }
    list.SetSorted(false);
    list.PutLink("zz", 1);
    EXPECT_EQ(list.IndexOf("zz"), 201);
    EXPECT_EQ(list.GetLink("K5"), 1000);
}

TEST(LinkList, AssignCopiesEntriesAndKeepsOwnCaseRule) {
    TLinkList source;
    source.PutLink("Eva", 1);
    source.PutLink("Bernd", 2);
    TLinkList target(true);
    target.PutLink("alt", 9);
    target.Assign(source);
    EXPECT_EQ(target.Count(), 2);
    EXPECT_EQ(target.GetLink("Eva"), 1);
    EXPECT_EQ(target.GetLink("eva"), 0);
    EXPECT_EQ(target.GetLink("alt"), 0);
    EXPECT_THROW(target.Key(2), std::out_of_range);
    target.Clear();
    EXPECT_EQ(target.Count(), 0);
    EXPECT_EQ(target.GetLink("Eva"), 0);
}

} // namespace
} // namespace zbpv
