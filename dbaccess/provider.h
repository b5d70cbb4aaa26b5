// The provider of the target database and its factories. The provider owns no connection: it
// forwards to its active factory, which owns one connection and makes the query and stored-procedure
// objects. Both factory kinds run on the same Firebird client; they differ where callers can tell:
//   - dbExpress kind: a query made with Live = false is forward-only and read-only; Execute returns
//     the number of rows changed; StartTransaction uses IsolationLevel.
//   - IBObjects kind: every query is scrollable and editable (Live is ignored); Execute returns 1;
//     transactions are always read committed.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbaccess/client_dataset.h"
#include "dbaccess/connection.h"
#include "dbaccess/params.h"
#include "support/variant.h"

namespace zbpv {

class TKVDBProviderFactory;

class TKVDBQuery {
public:
    TKVDBQuery(TKVDBProviderFactory& factory, bool live, const std::string& sql);
    virtual ~TKVDBQuery() = default;
    TKVDBQuery(const TKVDBQuery&) = delete;
    TKVDBQuery& operator=(const TKVDBQuery&) = delete;

    TKVClientDataSet& DataSet() { return ds_; }
    TParams& Params() { return ds_.Params(); }
    std::string SQL() const { return ds_.CommandText(); }
    void SetSQL(const std::string& sql) { ds_.SetCommandText(sql); }
    bool Prepared() const { return ds_.Prepared(); }
    void SetPrepared(bool on);
    bool ParamCheck() const { return ds_.ParamCheck(); }
    void SetParamCheck(bool on) { ds_.SetParamCheck(on); }
    bool Live() const { return live_; }

    // Runs the SQL as a statement.
    virtual int Execute();
    virtual void ApplyUpdates();

protected:
    TKVDBProviderFactory& factory_;
    bool live_;
    TKVClientDataSet ds_;
};

class TKVDBDBXQuery : public TKVDBQuery {
public:
    TKVDBDBXQuery(TKVDBProviderFactory& factory, bool live, const std::string& sql);
    void ApplyUpdates() override; // nothing for a query that is not live
};

class TKVDBIBOQuery : public TKVDBQuery {
public:
    TKVDBIBOQuery(TKVDBProviderFactory& factory, bool live, const std::string& sql);
    int Execute() override; // 1, whatever the number of rows
};

// "EXECUTE PROCEDURE name(...)": Params holds the inputs, then the outputs, in declared order.
class TKVDBStoredProc {
public:
    TKVDBStoredProc(TKVDBProviderFactory& factory, const std::string& procName);
    virtual ~TKVDBStoredProc() = default;
    TKVDBStoredProc(const TKVDBStoredProc&) = delete;
    TKVDBStoredProc& operator=(const TKVDBStoredProc&) = delete;

    const std::string& ProcName() const { return name_; }
    void SetProcName(const std::string& name);
    bool Prepared() const { return stmt_.IsPrepared(); }
    void SetPrepared(bool on);
    // Read from the database's procedure description on first use.
    TParams& Params();
    virtual int Execute();

protected:
    unsigned ExecuteStatement();
    void LoadParams();

    TKVDBProviderFactory& factory_;
    std::string name_;
    FbStatement stmt_;
    TParams params_;
    size_t inputCount_ = 0;
    bool loaded_ = false;
    std::vector<TDbValue> inputs_, outputs_;
};

class TKVDBDBXStoredProc : public TKVDBStoredProc {
public:
    using TKVDBStoredProc::TKVDBStoredProc;
    int Execute() override; // rows changed (0 for a procedure)
};

class TKVDBIBOStoredProc : public TKVDBStoredProc {
public:
    using TKVDBStoredProc::TKVDBStoredProc;
    int Execute() override; // -1, as for every procedure call
};

class TKVDBProviderFactory {
public:
    TKVDBProviderFactory();
    virtual ~TKVDBProviderFactory() = default;
    TKVDBProviderFactory(const TKVDBProviderFactory&) = delete;
    TKVDBProviderFactory& operator=(const TKVDBProviderFactory&) = delete;

    virtual std::string FactoryType() const { return "-"; }
    TTransIsolationLevel IsolationLevel = TTransIsolationLevel::xilREADCOMMITTED;
    // From one process-wide counter: the first factory gets 1, the next 2, ...
    std::uint32_t TransactionID() const { return transactionId_; }

    TKVDBConnection& Connection() { return connection_; }

    bool InTransaction() const { return connection_.InTransaction(); }
    bool Connected() const { return connection_.Connected(); }
    std::string DatabaseName() const { return connection_.Params.DatabaseName; }
    std::string ServerName() const { return connection_.Params.ServerName; }
    std::string Password() const { return connection_.Params.Password; }
    std::string RoleName() const { return connection_.Params.RoleName; }
    std::string UserName() const { return connection_.Params.UserName; }
    void SetServerName(const std::string& s) { connection_.Params.ServerName = s; }
    void SetDatabaseName(const std::string& s) { connection_.Params.DatabaseName = s; }
    void SetPassword(const std::string& s) { connection_.Params.Password = s; }
    void SetRoleName(const std::string& s) { connection_.Params.RoleName = s; }
    void SetUserName(const std::string& s) { connection_.Params.UserName = s; }
    // "server:path", or the path alone without a server.
    std::string ConnectionTarget() const { return connection_.Params.Target(); }

    // A new, unconnected factory of the same kind with the same settings and isolation level.
    virtual std::unique_ptr<TKVDBProviderFactory> Clone() const = 0;
    void Connect() { connection_.Open(); }
    void Disconnect() { connection_.Close(); }
    virtual void StartTransaction();
    void Commit() { connection_.Commit(); }
    void Rollback() { connection_.Rollback(); }
    // Runs a statement without parameter parsing in the current transaction (or the implicit one).
    void ExecuteDirect(const std::string& sql) { connection_.ExecuteDirect(sql); }
    // Commits work done outside an explicit transaction (rows applied, statements run).
    void CommitWork() { connection_.CommitWork(); }

    virtual std::unique_ptr<TKVDBQuery> NewQuery(bool live, const std::string& sql) = 0;
    virtual std::unique_ptr<TKVDBStoredProc> NewStoredProc(const std::string& name) = 0;

protected:
    void CopySettingsTo(TKVDBProviderFactory& other) const;

private:
    TKVDBConnection connection_;
    std::uint32_t transactionId_;
};

class TKVDBDBXProviderFactory : public TKVDBProviderFactory {
public:
    std::string FactoryType() const override { return "DBExpress"; }
    TKVDBConnection& SQLConnection() { return Connection(); }
    std::unique_ptr<TKVDBProviderFactory> Clone() const override;
    std::unique_ptr<TKVDBQuery> NewQuery(bool live, const std::string& sql) override;
    std::unique_ptr<TKVDBStoredProc> NewStoredProc(const std::string& name) override;
};

class TKVDBIBOProviderFactory : public TKVDBProviderFactory {
public:
    std::string FactoryType() const override { return "IBObjects"; }
    TKVDBConnection& IBODatabase() { return Connection(); }
    void StartTransaction() override; // always read committed
    std::unique_ptr<TKVDBProviderFactory> Clone() const override;
    std::unique_ptr<TKVDBQuery> NewQuery(bool live, const std::string& sql) override;
    std::unique_ptr<TKVDBStoredProc> NewStoredProc(const std::string& name) override;
};

enum class TDBaseType { dbtFirebird, dbtInterbase };

// Lets objects that keep a plain pointer to its owner notice that the owner is gone. A copy of the
// owner gets a token of its own: whoever watched the original does not start watching the copy.
class TLifetimeToken {
public:
    TLifetimeToken() = default;
    TLifetimeToken(const TLifetimeToken&) {}
    TLifetimeToken& operator=(const TLifetimeToken&) { return *this; }
    std::weak_ptr<const void> Watch() const { return alive_; }

private:
    std::shared_ptr<const void> alive_ = std::make_shared<char>();
};

class TKVDBProvider {
public:
    TKVDBProvider() = default;
    explicit TKVDBProvider(TKVDBProviderFactory* factory) : active_(factory) {}

    // Expires when this provider is destroyed.
    std::weak_ptr<const void> LifetimeToken() const { return life_.Watch(); }

    // Not owned; must outlive the provider's use of it (set it back to nullptr first otherwise).
    TKVDBProviderFactory* ActiveFactory() const { return active_; }
    void SetActiveFactory(TKVDBProviderFactory* factory) { active_ = factory; }
    TDBaseType DBaseType = TDBaseType::dbtFirebird;

    std::function<void(TKVDBProvider&)> OnStartTransaction, OnCommit, OnRollback;
    // May change the text and veto the statement by setting `allowed` to false.
    std::function<void(TKVDBProvider&, std::string& text, bool& allowed)> OnSQLExec;

    std::unique_ptr<TKVDBQuery> CreateQuery(const std::string& sql, bool live);
    // `format` with positional placeholders ("%0:s", "%2:d", "%s", "%%").
    std::unique_ptr<TKVDBQuery> CreateQueryFmt(const std::string& format, const std::vector<Variant>& args,
                                               bool live);
    std::unique_ptr<TKVDBStoredProc> CreateStoredProc(const std::string& procName);

    // Own transaction, committed at once; when it fails and the connection turns out to be gone, it
    // reconnects and tries once more.
    void ExecSQL(const std::string& sql);
    // Inside the open transaction if there is one (that one is left to the caller), else in a
    // transaction of its own.
    void ExecInTransaction(const std::string& sql);

    bool InTransaction();
    void StartTransaction();
    void Commit();
    void Rollback();
    void CommitWork();

private:
    TKVDBProviderFactory& Factory();
    TKVDBProviderFactory* active_ = nullptr;
    TLifetimeToken life_;
};

// The system's format routine with positional placeholders: "%0:s" the first argument as text,
// "%1:d" as integer, "%s"/"%d" the next one in turn, "%%" a percent sign. Width and precision
// ("%5d", "%.2f", "%-10s") are honoured. Raises EConvertError on a bad format.
std::string FormatSql(const std::string& format, const std::vector<Variant>& args);

} // namespace zbpv
