// One prepared statement on a connection: input and output descriptions, message buffers, execution
// and cursors. Prepares again by itself after the connection was replaced.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/db_value.h"
#include "dbaccess/fb_api.h"

namespace zbpv {

struct FbColumn {
    TFieldDef Def;
    unsigned SqlType = 0, SubType = 0, Length = 0, CharSet = 0, Offset = 0, NullOffset = 0;
    int Scale = 0;
};

class FbStatement {
public:
    explicit FbStatement(TKVDBConnection& connection)
        : conn_(connection), token_(connection.GenerationToken()) {}
    ~FbStatement();
    FbStatement(const FbStatement&) = delete;
    FbStatement& operator=(const FbStatement&) = delete;

    // `sql` uses "?" for parameters.
    void Prepare(const std::string& sql);
    void Unprepare();
    bool IsPrepared() const { return stmt_ != nullptr; }
    // Prepares again when the connection was replaced since the last preparation.
    void EnsurePrepared();
    const std::string& Sql() const { return sql_; }

    const std::vector<FbColumn>& Inputs() const { return in_; }
    const std::vector<FbColumn>& Outputs() const { return out_; }
    bool IsSelect() const; // returns rows through a cursor

    // Runs a statement that returns no cursor; outputs (EXECUTE PROCEDURE, RETURNING) land in `row`.
    // Returns the number of rows inserted, updated or deleted.
    unsigned Execute(const std::vector<TDbValue>& inputs, std::vector<TDbValue>* row = nullptr);
    // The same with the inputs by address, for callers that keep the values elsewhere (no copies).
    unsigned Execute(const std::vector<const TDbValue*>& inputs, std::vector<TDbValue>* row = nullptr);

    void OpenCursor(const std::vector<TDbValue>& inputs);
    bool Fetch(std::vector<TDbValue>& row); // false at the end
    void CloseCursor();
    bool CursorOpen() const { return cursor_ != nullptr; }

private:
    void Describe();
    // Values: a vector of values or of their addresses (defined in the .cpp, used only there).
    template <typename Values> void Bind(const Values& inputs, Firebird::ITransaction* tra);
    template <typename Values> unsigned Run(const Values& inputs, std::vector<TDbValue>* row);
    void Decode(std::vector<TDbValue>& row);
    std::string ReadBlob(ISC_QUAD id);
    ISC_QUAD WriteBlob(const std::string& bytes, Firebird::ITransaction* tra);

    // The handles belong to the current attachment of a connection that still exists.
    bool HandlesLive() const { return *token_ != 0 && generation_ == *token_; }
    void CheckConnection() const;

    TKVDBConnection& conn_;
    std::shared_ptr<const std::uint64_t> token_;
    std::string sql_;
    Firebird::IStatement* stmt_ = nullptr;
    Firebird::IMessageMetadata* inMeta_ = nullptr;
    Firebird::IMessageMetadata* outMeta_ = nullptr;
    Firebird::IResultSet* cursor_ = nullptr;
    Firebird::ITransaction* cursorTra_ = nullptr;
    std::uint64_t generation_ = 0;
    unsigned type_ = 0;
    std::vector<FbColumn> in_, out_;
    std::vector<unsigned char> inBuf_, outBuf_;
    fb::Status st_;
};

} // namespace zbpv
