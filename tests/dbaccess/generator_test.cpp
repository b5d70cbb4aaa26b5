#include <gtest/gtest.h>

#include <set>

#include "dbaccess/sql_generator.h"
#include "tests/support/fb_temp_db.h"

using namespace zbpv;

namespace {
class GeneratorTest : public ::testing::Test {
protected:
    void SetUp() override {
        factory = db.NewDbxFactory();
        prov.SetActiveFactory(factory.get());
        prov.OnSQLExec = [this](TKVDBProvider&, std::string& text, bool&) {
            ddl.push_back(text);
        };
    }
    test::FbTempDb db;
    std::unique_ptr<TKVDBDBXProviderFactory> factory;
    TKVDBProvider prov;
    std::vector<std::string> ddl;
};
} // namespace

TEST_F(GeneratorTest, FirstUseCreatesGeneratorAndProcedureLaterUseIssuesNoDdl) {
    TSQLGenerator gen(&prov, "GEN_LFDNR");
    int created = 0;
    gen.AfterCreateGen = [&](TSQLGenerator&) {
        ++created;
    };
    EXPECT_EQ(gen.NextValue(), 1);
    EXPECT_EQ(gen.NextValue(), 2);
    ASSERT_EQ(ddl.size(), 2u);
    EXPECT_EQ(ddl[0], "create generator GEN_LFDNR");
    EXPECT_EQ(ddl[1], "create procedure GEN_LFDNR(schr integer) returns (id integer) as begin "
                      "id=gen_id(GEN_LFDNR,:schr); end");
    EXPECT_EQ(created, 1);

    TSQLGenerator again(&prov, "GEN_LFDNR");
    ddl.clear();
    EXPECT_EQ(again.NextValue(), 3);
    EXPECT_TRUE(ddl.empty());
}

TEST_F(GeneratorTest, NameUpperCasedAndSetValueNeedsCanChange) {
    TSQLGenerator gen(&prov, "gen_artnr");
    EXPECT_EQ(gen.Generatorname(), "GEN_ARTNR");
    try {
        gen.SetValue(50);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Der Generator darf nicht geändert werden!");
    }
    // The refused call still prepared: the generator exists, unchanged.
    EXPECT_EQ(db.QueryInt("select gen_id(GEN_ARTNR, 0) from RDB$DATABASE"), 0);
    gen.CanChange = true;
    gen.SetValue(1);
    EXPECT_EQ(gen.NextValue(), 1);
    gen.SetValue(100);
    EXPECT_EQ(gen.NextValue(), 100);
}

TEST_F(GeneratorTest, RenamingOrNewProviderDiscardsThePreparation) {
    // The other provider outlives the generator that uses it.
    auto ibo = db.NewIboFactory();
    TKVDBProvider other(ibo.get());
    TSQLGenerator gen(&prov, "GEN_A");
    EXPECT_EQ(gen.NextValue(), 1);
    gen.SetGeneratorname("GEN_B");
    EXPECT_FALSE(gen.Prepared());
    EXPECT_EQ(gen.NextValue(), 1);
    EXPECT_EQ(gen.NextValue(), 2);

    gen.SetKVDBProvider(&other);
    EXPECT_FALSE(gen.Prepared());
    EXPECT_EQ(gen.NextValue(), 3);
}

TEST_F(GeneratorTest, BothFactoryKindsDrawUniqueKeysFromOneGenerator) {
    auto ibo = db.NewIboFactory();
    TKVDBProvider mail(ibo.get());
    TSQLGenerator a(&prov, "GEN_LFDNR", true), b(&mail, "GEN_LFDNR");
    std::set<int> seen;
    for (int i = 0; i < 20; ++i) {
        EXPECT_TRUE(seen.insert(a.NextValue()).second);
        EXPECT_TRUE(seen.insert(b.NextValue()).second);
    }
    EXPECT_EQ(*seen.rbegin(), 40);
}

TEST_F(GeneratorTest, FailedPreparationIsRetriedOnNextUse) {
    db.Exec("create table GEN_X (A integer)");
    TSQLGenerator gen(&prov, "GEN_X");
    EXPECT_THROW(gen.NextValue(), EDatabaseError);
    EXPECT_FALSE(gen.Prepared());
    db.Exec("drop table GEN_X");
    EXPECT_EQ(gen.NextValue(), 1);
}

TEST_F(GeneratorTest, DestroyedProviderAndSwitchedFactoryAreNoticed) {
    TSQLGenerator gen;
    gen.SetGeneratorname("GEN_LFDNR");
    {
        TKVDBProvider shortLived(factory.get());
        gen.SetKVDBProvider(&shortLived);
        EXPECT_EQ(gen.NextValue(), 1);
    }
    EXPECT_EQ(gen.KVDBProvider(), nullptr);
    try {
        gen.NextValue();
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Dem Generator GEN_LFDNR ist kein Datenbankprovider zugeordnet.");
    }

    // Prepared through a factory that is gone by the next call: the provider's current one is used.
    gen.SetKVDBProvider(&prov);
    {
        auto other = db.NewIboFactory();
        prov.SetActiveFactory(other.get());
        EXPECT_EQ(gen.NextValue(), 2);
        prov.SetActiveFactory(factory.get());
    }
    EXPECT_EQ(gen.NextValue(), 3);
}
