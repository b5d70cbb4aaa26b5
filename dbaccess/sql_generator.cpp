#include "dbaccess/sql_generator.h"

#include "support/ansi.h"
#include "support/errors.h"

namespace zbpv {

TSQLGenerator::TSQLGenerator(TKVDBProvider* provider, const std::string& name, bool canChange)
    : CanChange(canChange) {
    SetKVDBProvider(provider);
    SetGeneratorname(name);
}

void TSQLGenerator::SetGeneratorname(const std::string& name) {
    name_ = AnsiUpperCase(name);
    Unprepare();
}

void TSQLGenerator::SetKVDBProvider(TKVDBProvider* provider) {
    provider_ = provider;
    providerAlive_ = provider ? provider->LifetimeToken() : std::weak_ptr<const void>{};
    Unprepare();
}

void TSQLGenerator::Unprepare() {
    prepared_ = false;
    preparedFactory_ = nullptr;
    proc_.reset();
}

TKVDBProvider& TSQLGenerator::Provider() {
    if (provider_ && providerAlive_.expired())
        provider_ = nullptr;
    if (!provider_)
        throw EDatabaseError("Dem Generator " + name_ + " ist kein Datenbankprovider zugeordnet.");
    return *provider_;
}

void TSQLGenerator::Prepare() {
    TKVDBProvider& prov = Provider();
    bool created = false;
    {
        auto q = prov.CreateQuery("select * from RDB$GENERATORS where RDB$GENERATOR_NAME=:genname", false);
        q->Params()[0].SetAsString(name_);
        q->DataSet().Open();
        q->DataSet().First();
        generatorExists_ = !q->DataSet().Eof();
        q->DataSet().Close();
        if (!generatorExists_) {
            prov.ExecSQL("create generator " + name_);
            created = true;
        }
        q->SetSQL("select * from RDB$PROCEDURES where RDB$PROCEDURE_NAME=:pname");
        q->Params()[0].SetAsString(name_);
        q->DataSet().Open();
        q->DataSet().First();
        procedureExists_ = !q->DataSet().Eof();
        q->DataSet().Close();
        if (!procedureExists_)
            prov.ExecSQL("create procedure " + name_ + "(schr integer) returns (id integer) as begin " +
                         "id=gen_id(" + name_ + ",:schr); end");
        if (!proc_)
            proc_ = prov.CreateStoredProc(name_);
        proc_->SetPrepared(true);
        prepared_ = true;
        preparedFactory_ = prov.ActiveFactory();
    }
    if (created && AfterCreateGen)
        AfterCreateGen(*this);
}

void TSQLGenerator::EnsurePrepared() {
    TKVDBProvider& prov = Provider();
    if (prepared_ && prov.ActiveFactory() == preparedFactory_)
        return;
    Unprepare();
    Prepare();
}

std::int32_t TSQLGenerator::NextValue() {
    EnsurePrepared();
    proc_->Params()[0].SetAsInteger(1);
    proc_->Execute();
    return static_cast<std::int32_t>(proc_->Params()[1].AsInteger());
}

void TSQLGenerator::SetValue(std::int32_t value) {
    EnsurePrepared();
    if (!CanChange)
        throw Exception("Der Generator darf nicht geändert werden!");
    auto q = Provider().CreateQuery(
        "set generator " + name_ + " to " + std::to_string(std::int64_t(value) - 1), false);
    q->Execute();
}

} // namespace zbpv
