#include "dbaccess/provider.h"

#include <cstdio>

#include "dbaccess/fb_api.h"
#include "support/ansi.h"
#include "support/errors.h"

namespace zbpv {

namespace {
std::atomic<std::uint32_t> gTransactionCounter{0};

std::string ProcIdentifier(const std::string& name) {
    if (!name.empty() && name.front() == '"')
        return name;
    return "\"" + AnsiUpperCase(Trim(name)) + "\"";
}
} // namespace

// --- queries

TKVDBQuery::TKVDBQuery(TKVDBProviderFactory& factory, bool live, const std::string& sql)
    : factory_(factory), live_(live), ds_(factory.Connection()) {
    ds_.SetCommandText(sql);
}

void TKVDBQuery::SetPrepared(bool on) {
    if (on)
        ds_.Prepare();
    else
        ds_.Unprepare();
}

int TKVDBQuery::Execute() { return static_cast<int>(ds_.ExecSQL()); }

void TKVDBQuery::ApplyUpdates() { ds_.ApplyUpdates(0); }

TKVDBDBXQuery::TKVDBDBXQuery(TKVDBProviderFactory& factory, bool live, const std::string& sql)
    : TKVDBQuery(factory, live, sql) {
    ds_.ForwardOnly = !live;
    ds_.ReadOnly = !live;
}

void TKVDBDBXQuery::ApplyUpdates() {
    if (live_)
        ds_.ApplyUpdates(0);
}

TKVDBIBOQuery::TKVDBIBOQuery(TKVDBProviderFactory& factory, bool live, const std::string& sql)
    : TKVDBQuery(factory, live, sql) {}

int TKVDBIBOQuery::Execute() {
    ds_.ExecSQL();
    return 1;
}

// --- stored procedures

TKVDBStoredProc::TKVDBStoredProc(TKVDBProviderFactory& factory, const std::string& procName)
    : factory_(factory), name_(procName), stmt_(factory.Connection()) {}

void TKVDBStoredProc::SetProcName(const std::string& name) {
    stmt_.Unprepare();
    name_ = name;
    loaded_ = false;
    params_.Rebuild({});
}

void TKVDBStoredProc::LoadParams() {
    TKVDBConnection& conn = factory_.Connection();
    FbStatement q(conn);
    q.Prepare("SELECT TRIM(RDB$PARAMETER_NAME), RDB$PARAMETER_TYPE FROM RDB$PROCEDURE_PARAMETERS "
              "WHERE RDB$PROCEDURE_NAME = ? AND RDB$PACKAGE_NAME IS NULL "
              "ORDER BY RDB$PARAMETER_TYPE, RDB$PARAMETER_NUMBER");
    std::string bare = ProcIdentifier(name_);
    bare = bare.substr(1, bare.size() - 2);
    std::vector<TDbValue> row;
    std::vector<std::string> names;
    inputCount_ = 0;
    q.OpenCursor({TDbValue(bare)});
    while (q.Fetch(row)) {
        names.push_back(DbToText(row[0]));
        if (DbToInt64(row[1]) == 0)
            ++inputCount_;
    }
    q.CloseCursor();
    params_.Rebuild(names);
    loaded_ = true;
}

TParams& TKVDBStoredProc::Params() {
    if (!loaded_)
        LoadParams();
    return params_;
}

void TKVDBStoredProc::SetPrepared(bool on) {
    if (!on) {
        stmt_.Unprepare();
        return;
    }
    if (stmt_.IsPrepared())
        return;
    if (!loaded_)
        LoadParams();
    std::string sql = "EXECUTE PROCEDURE " + ProcIdentifier(name_);
    if (inputCount_ > 0) {
        sql += "(";
        for (size_t i = 0; i < inputCount_; ++i)
            sql += i ? ", ?" : "?";
        sql += ")";
    }
    stmt_.Prepare(sql);
}

unsigned TKVDBStoredProc::ExecuteStatement() {
    SetPrepared(true);
    inputs_.resize(inputCount_);
    for (size_t i = 0; i < inputCount_; ++i)
        inputs_[i] = params_[i].Raw();
    unsigned n = stmt_.Execute(inputs_, &outputs_);
    for (size_t i = 0; i < outputs_.size() && inputCount_ + i < params_.Count(); ++i)
        params_[inputCount_ + i].SetRaw(std::move(outputs_[i]));
    TKVDBConnection& conn = factory_.Connection();
    if (!conn.InTransaction())
        conn.MaybeCommitWork();
    return n;
}

int TKVDBStoredProc::Execute() { return static_cast<int>(ExecuteStatement()); }

int TKVDBDBXStoredProc::Execute() { return static_cast<int>(ExecuteStatement()); }

int TKVDBIBOStoredProc::Execute() {
    ExecuteStatement();
    return -1;
}

// --- factories

TKVDBProviderFactory::TKVDBProviderFactory() : transactionId_(++gTransactionCounter) {}

void TKVDBProviderFactory::StartTransaction() { connection_.StartTransaction(IsolationLevel); }

void TKVDBProviderFactory::CopySettingsTo(TKVDBProviderFactory& other) const {
    other.connection_.Params = connection_.Params;
    other.connection_.CommitInterval = connection_.CommitInterval;
    other.IsolationLevel = IsolationLevel;
}

std::unique_ptr<TKVDBProviderFactory> TKVDBDBXProviderFactory::Clone() const {
    auto f = std::make_unique<TKVDBDBXProviderFactory>();
    CopySettingsTo(*f);
    return f;
}

std::unique_ptr<TKVDBQuery> TKVDBDBXProviderFactory::NewQuery(bool live, const std::string& sql) {
    return std::make_unique<TKVDBDBXQuery>(*this, live, sql);
}

std::unique_ptr<TKVDBStoredProc> TKVDBDBXProviderFactory::NewStoredProc(const std::string& name) {
    return std::make_unique<TKVDBDBXStoredProc>(*this, name);
}

void TKVDBIBOProviderFactory::StartTransaction() {
    Connection().StartTransaction(TTransIsolationLevel::xilREADCOMMITTED);
}

std::unique_ptr<TKVDBProviderFactory> TKVDBIBOProviderFactory::Clone() const {
    auto f = std::make_unique<TKVDBIBOProviderFactory>();
    CopySettingsTo(*f);
    return f;
}

std::unique_ptr<TKVDBQuery> TKVDBIBOProviderFactory::NewQuery(bool live, const std::string& sql) {
    return std::make_unique<TKVDBIBOQuery>(*this, live, sql);
}

std::unique_ptr<TKVDBStoredProc> TKVDBIBOProviderFactory::NewStoredProc(const std::string& name) {
    return std::make_unique<TKVDBIBOStoredProc>(*this, name);
}

// --- provider

TKVDBProviderFactory& TKVDBProvider::Factory() {
    if (!active_)
        throw EDatabaseError("Dem Datenbankprovider ist keine Verbindung zugeordnet.");
    return *active_;
}

std::unique_ptr<TKVDBQuery> TKVDBProvider::CreateQuery(const std::string& sql, bool live) {
    return Factory().NewQuery(live, sql);
}

std::unique_ptr<TKVDBQuery> TKVDBProvider::CreateQueryFmt(const std::string& format, const std::vector<Variant>& args,
                                                          bool live) {
    return CreateQuery(FormatSql(format, args), live);
}

std::unique_ptr<TKVDBStoredProc> TKVDBProvider::CreateStoredProc(const std::string& procName) {
    return Factory().NewStoredProc(procName);
}

void TKVDBProvider::ExecSQL(const std::string& sql) {
    std::string text = sql;
    bool allowed = true;
    if (OnSQLExec)
        OnSQLExec(*this, text, allowed);
    if (!allowed)
        return;
    TKVDBProviderFactory& f = Factory();
    TKVDBConnection& conn = f.Connection();
    try {
        conn.ExecuteOwnTransaction(text, f.IsolationLevel);
        return;
    } catch (const std::exception&) {
        // A lost connection is what the second attempt is for. While the attachment still answers,
        // reconnecting would only throw away the caller's open work, so the retry runs on it.
        if (!conn.Alive()) {
            f.Disconnect();
            f.Connect();
        }
    }
    conn.ExecuteOwnTransaction(text, f.IsolationLevel);
}

void TKVDBProvider::ExecInTransaction(const std::string& sql) {
    // Outside an explicit transaction the statement runs in the connection's implicit transaction,
    // which is committed about once a second and at the end of the work; a failing statement is
    // undone on its own by the server, so nothing half-written remains.
    Factory().ExecuteDirect(sql);
}

bool TKVDBProvider::InTransaction() { return Factory().InTransaction(); }

void TKVDBProvider::StartTransaction() {
    if (OnStartTransaction)
        OnStartTransaction(*this);
    Factory().StartTransaction();
}

void TKVDBProvider::Commit() {
    if (OnCommit)
        OnCommit(*this);
    Factory().Commit();
}

void TKVDBProvider::Rollback() {
    if (OnRollback)
        OnRollback(*this);
    Factory().Rollback();
}

void TKVDBProvider::CommitWork() { Factory().CommitWork(); }

// --- format

std::string FormatSql(const std::string& format, const std::vector<Variant>& args) {
    std::string out;
    size_t next = 0;
    const size_t n = format.size();
    auto bad = [&]() -> EConvertError { return EConvertError("Das Format '" + format + "' ist ungültig."); };
    for (size_t i = 0; i < n; ++i) {
        char c = format[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (++i >= n)
            throw bad();
        if (format[i] == '%') {
            out += '%';
            continue;
        }
        // [index ":"] ["-"] [width] ["." precision] type
        size_t start = i;
        long number = -1;
        while (i < n && format[i] >= '0' && format[i] <= '9')
            number = (number < 0 ? 0 : number * 10) + (format[i++] - '0');
        size_t argIndex = next;
        if (i < n && format[i] == ':') {
            if (number < 0)
                throw bad();
            argIndex = static_cast<size_t>(number);
            ++i;
        } else {
            i = start;
        }
        bool left = false;
        if (i < n && format[i] == '-') {
            left = true;
            ++i;
        }
        int width = -1, precision = -1;
        while (i < n && format[i] >= '0' && format[i] <= '9')
            width = (width < 0 ? 0 : width * 10) + (format[i++] - '0');
        if (i < n && format[i] == '.') {
            precision = 0;
            ++i;
            while (i < n && format[i] >= '0' && format[i] <= '9')
                precision = precision * 10 + (format[i++] - '0');
        }
        if (i >= n)
            throw bad();
        if (argIndex >= args.size())
            throw EConvertError("Das Format '" + format + "' passt nicht zu den Argumenten.");
        const Variant& a = args[argIndex];
        next = argIndex + 1;
        std::string piece;
        char buf[512];
        switch (format[i] | 0x20) {
        case 's':
            piece = a.AsString();
            if (precision >= 0 && piece.size() > static_cast<size_t>(precision))
                piece.resize(static_cast<size_t>(precision));
            break;
        case 'd':
        case 'u': {
            if (a.Kind() == VariantKind::Float || a.Kind() == VariantKind::Decimal)
                throw EConvertError("Das Format '" + format + "' passt nicht zu den Argumenten.");
            long long v = a.AsInteger();
            std::snprintf(buf, sizeof buf, "%0*lld", precision > 0 ? precision : 1, v);
            piece = buf;
            break;
        }
        case 'x': {
            std::snprintf(buf, sizeof buf, "%0*llX", precision > 0 ? precision : 1,
                          static_cast<unsigned long long>(a.AsInteger()));
            piece = buf;
            break;
        }
        case 'f':
        case 'n':
        case 'e':
        case 'g': {
            // Inside SQL text a decimal point is the only separator the server understands.
            char conv = static_cast<char>(format[i] | 0x20);
            if (conv == 'n')
                conv = 'f';
            std::snprintf(buf, sizeof buf, (std::string("%.*") + conv).c_str(),
                          precision >= 0 ? precision : (conv == 'g' ? 15 : 2), a.AsFloat());
            piece = buf;
            break;
        }
        default:
            throw bad();
        }
        if (width > 0 && piece.size() < static_cast<size_t>(width))
            piece = left ? piece + std::string(width - piece.size(), ' ') : std::string(width - piece.size(), ' ') + piece;
        out += piece;
    }
    return out;
}

} // namespace zbpv
