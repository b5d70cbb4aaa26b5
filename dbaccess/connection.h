// One connection to the target database: where it is, how to log in, the attachment and its
// transactions. Owned by a provider factory; queries and stored procedures run through it.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace Firebird {
class IAttachment;
class ITransaction;
} // namespace Firebird

namespace zbpv {

enum class TTransIsolationLevel { xilREADCOMMITTED, xilREPEATABLEREAD, xilDIRTYREAD, xilCUSTOM };

// The password used when none is set: the environment variable ZBPV_DB_PASSWORD; when that is unset
// too, the Firebird client falls back to ISC_PASSWORD on its own.
std::string DefaultTargetPassword();

// The user name used when none is set: ZBPV_DB_USER; when that is unset too, the Firebird client's
// ISC_USER, else SYSDBA.
std::string DefaultTargetUser();

struct TConnectionParams {
    std::string ServerName;   // host, "host/port" or empty for the embedded engine
    std::string DatabaseName; // file path as the server (or this process) sees it
    std::string UserName;     // empty: ISC_USER, else SYSDBA
    std::string Password;     // empty: DefaultTargetPassword()
    std::string RoleName;
    std::string CharSet = "ISO8859_1";
    int SQLDialect = 3;
    std::optional<bool> ForcedWrites; // unset: leave the database's setting alone (creation: on)
    int ConnectTimeoutSeconds = 15;
    int LockTimeoutSeconds = 10; // how long a statement waits for a row another transaction holds

    // "server:path" when a server is named, else the path alone (embedded engine).
    std::string Target() const;
};

// Reads "server:path" (server may be "host/port") or a plain path (embedded engine). A one-letter
// prefix is a drive, and a prefix with a slash in front is part of a path.
TConnectionParams ParseConnectionTarget(const std::string& text);

class TKVDBConnection {
public:
    TKVDBConnection();
    ~TKVDBConnection();
    TKVDBConnection(const TKVDBConnection&) = delete;
    TKVDBConnection& operator=(const TKVDBConnection&) = delete;

    TConnectionParams Params;
    // Work outside an explicit transaction runs in one implicit transaction that is committed at the
    // latest this long after it started (checked after each statement and apply), on CommitWork, on
    // StartTransaction, ExecSQL and Disconnect. Zero commits after every statement.
    std::chrono::milliseconds CommitInterval{1000};

    void Open();
    void Close(); // commits pending implicit work when the attachment is still alive; never throws
    bool Connected() const { return attachment_ != nullptr; }
    // Creates the database file described by Params (refusing an existing file) and stays attached.
    void CreateDatabase(int pageSize = 8192);
    // True when the attachment answers.
    bool Alive();

    // Changes every time the attachment is replaced, so statements know when to prepare again.
    std::uint64_t Generation() const { return generation_; }
    Firebird::IAttachment* Attachment(); // opens on demand

    bool InTransaction() const { return explicit_ != nullptr; }
    void StartTransaction(TTransIsolationLevel level);
    void Commit();
    void Rollback();
    // The transaction a statement should use now: the explicit one, else the implicit one.
    Firebird::ITransaction* WorkTransaction();
    void CommitWork();        // commits the implicit transaction, if any
    void MaybeCommitWork();   // ... when CommitInterval has passed
    bool HasPendingWork() const { return implicit_ != nullptr; }
    TTransIsolationLevel ImplicitIsolation = TTransIsolationLevel::xilREADCOMMITTED;

    // Runs a statement without parameters in the work transaction (colons are left alone); with
    // `periodicCommit` the implicit transaction may be committed afterwards.
    void ExecuteDirect(const std::string& sql, bool periodicCommit = true);
    // Runs a statement in a transaction of its own, committed at once.
    void ExecuteOwnTransaction(const std::string& sql, TTransIsolationLevel level);

    // Open cursors on the implicit transaction: a periodic commit keeps them open (commit retaining).
    void CursorOpened(Firebird::ITransaction* tra);
    void CursorClosed(Firebird::ITransaction* tra);

private:
    Firebird::ITransaction* Start(TTransIsolationLevel level);
    void AttachOrCreate(bool create, int pageSize);
    void DropHandles();

    Firebird::IAttachment* attachment_ = nullptr;
    Firebird::ITransaction* explicit_ = nullptr;
    Firebird::ITransaction* implicit_ = nullptr;
    std::chrono::steady_clock::time_point implicitStarted_{};
    int implicitCursors_ = 0;
    std::uint64_t generation_ = 1;
};

} // namespace zbpv
