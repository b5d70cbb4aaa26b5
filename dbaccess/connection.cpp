#include "dbaccess/connection.h"

#include <cstdlib>
#include <filesystem>

#include "dbaccess/fb_api.h"

namespace zbpv {

using namespace Firebird;

std::string DefaultTargetPassword() {
    const char* p = std::getenv("ZBPV_DB_PASSWORD");
    return p ? std::string(p) : std::string();
}

std::string DefaultTargetUser() {
    const char* u = std::getenv("ZBPV_DB_USER");
    return u ? std::string(u) : std::string();
}

TConnectionParams ParseConnectionTarget(const std::string& text) {
    TConnectionParams p;
    size_t colon = text.find(':');
    if (colon != std::string::npos && colon > 1 && text[0] != '/' && text[0] != '.') {
        p.ServerName = text.substr(0, colon);
        p.DatabaseName = text.substr(colon + 1);
    } else {
        p.DatabaseName = text;
    }
    return p;
}

std::string TConnectionParams::Target() const {
    return ServerName.empty() ? DatabaseName : ServerName + ":" + DatabaseName;
}

TKVDBConnection::TKVDBConnection() = default;

TKVDBConnection::~TKVDBConnection() { Close(); }

void TKVDBConnection::Open() {
    if (!attachment_)
        AttachOrCreate(false, 0);
}

void TKVDBConnection::CreateDatabase(int pageSize) {
    Close();
    if (Params.ServerName.empty() && std::filesystem::exists(Params.DatabaseName))
        throw EDatabaseError("Die Datenbank \"" + Params.DatabaseName + "\" existiert bereits.");
    AttachOrCreate(true, pageSize);
}

void TKVDBConnection::AttachOrCreate(bool create, int pageSize) {
    fb::Xpb dpb(IXpbBuilder::DPB);
    std::string user = Params.UserName.empty() ? DefaultTargetUser() : Params.UserName;
    if (user.empty() && !std::getenv("ISC_USER"))
        user = "SYSDBA";
    if (!user.empty())
        dpb.Str(isc_dpb_user_name, user);
    std::string password = Params.Password.empty() ? DefaultTargetPassword() : Params.Password;
    if (!password.empty())
        dpb.Str(isc_dpb_password, password);
    if (!Params.RoleName.empty())
        dpb.Str(isc_dpb_sql_role_name, Params.RoleName);
    dpb.Str(isc_dpb_lc_ctype, Params.CharSet);
    dpb.Int(isc_dpb_sql_dialect, Params.SQLDialect);
    if (Params.ConnectTimeoutSeconds > 0)
        dpb.Int(isc_dpb_connect_timeout, Params.ConnectTimeoutSeconds);
    std::optional<bool> forced = Params.ForcedWrites;
    if (create) {
        if (!forced)
            forced = true;
        dpb.Int(isc_dpb_page_size, pageSize);
        dpb.Str(isc_dpb_set_db_charset, Params.CharSet);
    }
    if (forced)
        dpb.Int(isc_dpb_force_write, *forced ? 1 : 0);

    IProvider* provider = fb::Master()->getDispatcher();
    fb::Status st;
    std::string target = Params.Target();
    IAttachment* att = create ? provider->createDatabase(&st, target.c_str(), dpb.Length(), dpb.Buffer())
                              : provider->attachDatabase(&st, target.c_str(), dpb.Length(), dpb.Buffer());
    provider->release();
    st.Check();
    attachment_ = att;
    ++generation_;
}

bool TKVDBConnection::Alive() {
    if (!attachment_)
        return false;
    fb::Status st;
    attachment_->ping(&st);
    return !st.Failed();
}

IAttachment* TKVDBConnection::Attachment() {
    Open();
    return attachment_;
}

// Forgets every handle of a dead attachment; the server side is gone already.
void TKVDBConnection::DropHandles() {
    for (ITransaction** t : {&explicit_, &implicit_}) {
        if (*t) {
            (*t)->release();
            *t = nullptr;
        }
    }
    implicitCursors_ = 0;
    if (attachment_) {
        fb::Status st;
        attachment_->detach(&st);
        if (st.Failed())
            attachment_->release();
        attachment_ = nullptr;
    }
    ++generation_;
}

void TKVDBConnection::Close() {
    if (!attachment_)
        return;
    fb::Status st;
    if (implicit_) {
        implicit_->commit(&st);
        if (!st.Failed())
            implicit_ = nullptr;
        st.Clear();
    }
    if (explicit_) {
        explicit_->rollback(&st);
        if (!st.Failed())
            explicit_ = nullptr;
    }
    DropHandles();
}

ITransaction* TKVDBConnection::Start(TTransIsolationLevel level) {
    fb::Xpb tpb(IXpbBuilder::TPB);
    if (level == TTransIsolationLevel::xilREPEATABLEREAD) {
        tpb.Tag(isc_tpb_concurrency);
    } else {
        // Firebird has no dirty read; read committed is the nearest level.
        tpb.Tag(isc_tpb_read_committed);
        tpb.Tag(isc_tpb_rec_version);
    }
    tpb.Tag(isc_tpb_write);
    tpb.Tag(isc_tpb_wait);
    if (Params.LockTimeoutSeconds > 0)
        tpb.Int(isc_tpb_lock_timeout, Params.LockTimeoutSeconds);
    IAttachment* att = Attachment();
    fb::Status st;
    ITransaction* tra = att->startTransaction(&st, tpb.Length(), tpb.Buffer());
    st.Check();
    return tra;
}

void TKVDBConnection::StartTransaction(TTransIsolationLevel level) {
    if (explicit_)
        throw EDatabaseError("Es ist bereits eine Transaktion aktiv.");
    // Earlier implicit work must not be taken back by a rollback of the new transaction.
    if (implicit_ && implicitCursors_ == 0)
        CommitWork();
    explicit_ = Start(level);
}

void TKVDBConnection::Commit() {
    if (!explicit_)
        throw EDatabaseError("Es ist keine Transaktion aktiv.");
    fb::Status st;
    explicit_->commit(&st);
    if (st.Failed()) {
        // A failed commit leaves the transaction open; the caller may still roll back.
        st.Check();
    }
    explicit_ = nullptr;
}

void TKVDBConnection::Rollback() {
    if (!explicit_)
        return;
    fb::Status st;
    explicit_->rollback(&st);
    if (st.Failed()) {
        // Rolling back a transaction of a dead attachment fails; the transaction is gone anyway.
        explicit_->release();
        explicit_ = nullptr;
        st.Check();
    }
    explicit_ = nullptr;
}

ITransaction* TKVDBConnection::WorkTransaction() {
    if (explicit_)
        return explicit_;
    if (!implicit_) {
        implicit_ = Start(ImplicitIsolation);
        implicitStarted_ = std::chrono::steady_clock::now();
    }
    return implicit_;
}

void TKVDBConnection::CommitWork() {
    if (!implicit_)
        return;
    fb::Status st;
    if (implicitCursors_ > 0) {
        // Open cursors die with a hard commit; commit retaining keeps them and the transaction.
        implicit_->commitRetaining(&st);
        st.Check();
        implicitStarted_ = std::chrono::steady_clock::now();
        return;
    }
    implicit_->commit(&st);
    st.Check();
    implicit_ = nullptr;
}

void TKVDBConnection::MaybeCommitWork() {
    if (implicit_ && std::chrono::steady_clock::now() - implicitStarted_ >= CommitInterval)
        CommitWork();
}

void TKVDBConnection::ExecuteDirect(const std::string& sql, bool periodicCommit) {
    IAttachment* att = Attachment();
    ITransaction* tra = WorkTransaction();
    fb::Status st;
    att->execute(&st, tra, static_cast<unsigned>(sql.size()), sql.c_str(), Params.SQLDialect, nullptr, nullptr,
                 nullptr, nullptr);
    st.Check();
    if (periodicCommit && tra == implicit_)
        MaybeCommitWork();
}

void TKVDBConnection::ExecuteOwnTransaction(const std::string& sql, TTransIsolationLevel level) {
    // Pending implicit work first, so that the statement does not wait for our own rows.
    if (implicit_ && implicitCursors_ == 0)
        CommitWork();
    IAttachment* att = Attachment();
    ITransaction* tra = Start(level);
    fb::Status st;
    att->execute(&st, tra, static_cast<unsigned>(sql.size()), sql.c_str(), Params.SQLDialect, nullptr, nullptr,
                 nullptr, nullptr);
    if (st.Failed()) {
        fb::Status rb;
        tra->rollback(&rb);
        if (rb.Failed())
            tra->release();
        st.Check();
    }
    tra->commit(&st);
    if (st.Failed()) {
        fb::Status rb;
        tra->rollback(&rb);
        if (rb.Failed())
            tra->release();
        st.Check();
    }
}

void TKVDBConnection::CursorOpened(ITransaction* tra) {
    if (tra && tra == implicit_)
        ++implicitCursors_;
}

void TKVDBConnection::CursorClosed(ITransaction* tra) {
    if (tra && tra == implicit_ && implicitCursors_ > 0)
        --implicitCursors_;
}

} // namespace zbpv
