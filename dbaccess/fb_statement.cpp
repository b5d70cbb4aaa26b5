#include "dbaccess/fb_statement.h"

#include <cstring>
#include <limits>

namespace zbpv {

using namespace Firebird;

namespace {

// Text parameters travel with room to spare, so that a value too long for its column meets the
// server's own truncation error instead of being cut here.
constexpr unsigned kTextParamLength = 32765;

unsigned BytesPerChar(unsigned charset) {
    switch (charset) {
    case 3: // UNICODE_FSS
        return 3;
    case 4: // UTF8
        return 4;
    case 5: // SJIS_0208
    case 6: // EUCJ_0208
        return 2;
    default:
        return 1;
    }
}

TFieldType TypeOf(unsigned sqlType, unsigned subType, int scale) {
    switch (sqlType) {
    case SQL_VARYING:
        return TFieldType::ftString;
    case SQL_TEXT:
        return TFieldType::ftFixedChar;
    case SQL_SHORT:
        return scale < 0 ? TFieldType::ftFMTBcd : TFieldType::ftSmallint;
    case SQL_LONG:
        return scale < 0 ? TFieldType::ftFMTBcd : TFieldType::ftInteger;
    case SQL_INT64:
        return scale < 0 ? TFieldType::ftFMTBcd : TFieldType::ftLargeint;
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return TFieldType::ftFloat;
    case SQL_TIMESTAMP:
        return TFieldType::ftTimeStamp;
    case SQL_TYPE_DATE:
        return TFieldType::ftDate;
    case SQL_TYPE_TIME:
        return TFieldType::ftTime;
    case SQL_BLOB:
        return subType == 1 ? TFieldType::ftMemo : TFieldType::ftBlob;
    case SQL_BOOLEAN:
        return TFieldType::ftBoolean;
    default:
        return TFieldType::ftUnknown;
    }
}

std::vector<FbColumn> ReadColumns(IMessageMetadata* meta, fb::Status& st) {
    std::vector<FbColumn> cols;
    unsigned n = meta->getCount(&st);
    st.Check();
    cols.resize(n);
    for (unsigned i = 0; i < n; ++i) {
        FbColumn& c = cols[i];
        c.SqlType = meta->getType(&st, i);
        c.SubType = static_cast<unsigned>(meta->getSubType(&st, i));
        c.Length = meta->getLength(&st, i);
        c.Scale = meta->getScale(&st, i);
        c.CharSet = meta->getCharSet(&st, i);
        c.Offset = meta->getOffset(&st, i);
        c.NullOffset = meta->getNullOffset(&st, i);
        const char* alias = meta->getAlias(&st, i);
        const char* relation = meta->getRelation(&st, i);
        const char* field = meta->getField(&st, i);
        bool nullable = meta->isNullable(&st, i);
        st.Check();
        c.Def.Name = alias ? alias : "";
        c.Def.Relation = relation ? relation : "";
        c.Def.Origin = field ? field : "";
        c.Def.DataType = TypeOf(c.SqlType, c.SubType, c.Scale);
        c.Def.Required = !nullable;
        switch (c.Def.DataType) {
        case TFieldType::ftString:
        case TFieldType::ftFixedChar:
            c.Def.Size = static_cast<int>(c.Length / BytesPerChar(c.CharSet));
            break;
        case TFieldType::ftFMTBcd:
            c.Def.Size = -c.Scale;
            c.Def.Precision = c.SqlType == SQL_SHORT ? 4 : c.SqlType == SQL_LONG ? 9 : 18;
            break;
        default:
            break;
        }
    }
    return cols;
}

[[noreturn]] void Overflow() {
    throw EDatabaseError("arithmetic exception, numeric overflow, or string truncation", "22003",
                         isc_arith_except);
}

template <typename T> void PutInt(unsigned char* p, std::int64_t v) {
    if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max())
        Overflow();
    T t = static_cast<T>(v);
    std::memcpy(p, &t, sizeof t);
}

} // namespace

FbStatement::~FbStatement() {
    Unprepare();
}

void FbStatement::Unprepare() {
    CloseCursor();
    if (inMeta_) {
        inMeta_->release();
        inMeta_ = nullptr;
    }
    if (outMeta_) {
        outMeta_->release();
        outMeta_ = nullptr;
    }
    if (stmt_) {
        st_.Clear();
        bool live = HandlesLive();
        if (live)
            stmt_->free(&st_);
        if (!live || st_.Failed())
            stmt_->release();
        st_.Clear();
        stmt_ = nullptr;
    }
    in_.clear();
    out_.clear();
}

void FbStatement::CheckConnection() const {
    if (*token_ == 0)
        throw EDatabaseError("Die Verbindung zur Datenbank besteht nicht mehr.");
}

void FbStatement::Prepare(const std::string& sql) {
    Unprepare();
    CheckConnection();
    sql_ = sql;
    IAttachment* att = conn_.Attachment();
    ITransaction* tra = conn_.WorkTransaction();
    st_.Clear();
    IStatement* stmt =
        att->prepare(&st_, tra, static_cast<unsigned>(sql.size()), sql.c_str(),
                     static_cast<unsigned>(conn_.Params.SQLDialect), IStatement::PREPARE_PREFETCH_METADATA);
    st_.Check();
    stmt_ = stmt;
    generation_ = conn_.Generation();
    try {
        Describe();
    } catch (...) {
        Unprepare();
        throw;
    }
}

void FbStatement::EnsurePrepared() {
    CheckConnection();
    if (stmt_ && HandlesLive())
        return;
    if (sql_.empty())
        throw EDatabaseError("Keine SQL-Anweisung angegeben.");
    Prepare(std::string(sql_));
}

void FbStatement::Describe() {
    st_.Clear();
    type_ = stmt_->getType(&st_);
    IMessageMetadata* in = stmt_->getInputMetadata(&st_);
    st_.Check();
    // Widen text parameters (see kTextParamLength).
    IMetadataBuilder* builder = in->getBuilder(&st_);
    unsigned n = in->getCount(&st_);
    for (unsigned i = 0; i < n && !st_.Failed(); ++i) {
        unsigned t = in->getType(&st_, i);
        if (t == SQL_TEXT || t == SQL_VARYING || t == SQL_NULL) {
            builder->setType(&st_, i, SQL_VARYING);
            builder->setLength(&st_, i, kTextParamLength);
        }
    }
    in->release();
    if (st_.Failed()) {
        builder->release();
        st_.Check();
    }
    inMeta_ = builder->getMetadata(&st_);
    builder->release();
    st_.Check();
    outMeta_ = stmt_->getOutputMetadata(&st_);
    st_.Check();
    in_ = ReadColumns(inMeta_, st_);
    out_ = ReadColumns(outMeta_, st_);
    inBuf_.assign(inMeta_->getMessageLength(&st_), 0);
    outBuf_.assign(outMeta_->getMessageLength(&st_), 0);
    st_.Check();
}

bool FbStatement::IsSelect() const {
    return type_ == isc_info_sql_stmt_select || type_ == isc_info_sql_stmt_select_for_upd;
}

namespace {
const TDbValue& Deref(const TDbValue& v) {
    return v;
}
const TDbValue& Deref(const TDbValue* v) {
    return *v;
}
} // namespace

template <typename Values> void FbStatement::Bind(const Values& inputs, ITransaction* tra) {
    if (inputs.size() < in_.size())
        throw EDatabaseError("Es wurden nicht alle Parameter der SQL-Anweisung gesetzt.");
    IUtil* util = fb::Util();
    std::string converted;
    for (size_t i = 0; i < in_.size(); ++i) {
        const FbColumn& c = in_[i];
        const TDbValue& v = Deref(inputs[i]);
        unsigned char* p = inBuf_.data() + c.Offset;
        short* null = reinterpret_cast<short*>(inBuf_.data() + c.NullOffset);
        *null = IsNull(v) ? -1 : 0;
        if (IsNull(v))
            continue;
        switch (c.SqlType) {
        case SQL_VARYING: {
            const std::string* text = std::get_if<std::string>(&v);
            if (!text) {
                converted = DbToText(v);
                text = &converted;
            }
            const std::string& s = *text;
            if (s.size() > c.Length)
                throw EDatabaseError("arithmetic exception, numeric overflow, or string truncation\n"
                                     "string right truncation",
                                     "22001", isc_arith_except);
            unsigned short len = static_cast<unsigned short>(s.size());
            std::memcpy(p, &len, 2);
            std::memcpy(p + 2, s.data(), s.size());
            break;
        }
        case SQL_SHORT:
        case SQL_LONG:
        case SQL_INT64: {
            std::int64_t x = c.Scale < 0 ? DbToScaled(v, -c.Scale).value : DbToInt64(v);
            if (c.SqlType == SQL_SHORT)
                PutInt<std::int16_t>(p, x);
            else if (c.SqlType == SQL_LONG)
                PutInt<std::int32_t>(p, x);
            else
                PutInt<std::int64_t>(p, x);
            break;
        }
        case SQL_FLOAT: {
            float f = static_cast<float>(DbToDouble(v));
            std::memcpy(p, &f, sizeof f);
            break;
        }
        case SQL_DOUBLE:
        case SQL_D_FLOAT: {
            double d = DbToDouble(v);
            std::memcpy(p, &d, sizeof d);
            break;
        }
        case SQL_TIMESTAMP:
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIME: {
            TSQLTimeStamp ts = DbToTimeStamp(v);
            bool hasDate = ts.Year != 0 || ts.Month != 0 || ts.Day != 0;
            if (!IsValidSQLTimeStamp(ts) || (!hasDate && c.SqlType != SQL_TYPE_TIME)) {
                if (!IsValidSQLTimeStamp(ts))
                    throw EConvertError("Ungültiger Zeitstempel.");
                *null = -1; // the blank timestamp has no date a column could hold
                break;
            }
            ISC_DATE date = hasDate ? util->encodeDate(ts.Year, ts.Month, ts.Day) : 0;
            ISC_TIME time = util->encodeTime(ts.Hour, ts.Minute, ts.Second, ts.Fractions);
            if (c.SqlType == SQL_TIMESTAMP) {
                ISC_TIMESTAMP t{date, time};
                std::memcpy(p, &t, sizeof t);
            } else if (c.SqlType == SQL_TYPE_DATE) {
                std::memcpy(p, &date, sizeof date);
            } else {
                std::memcpy(p, &time, sizeof time);
            }
            break;
        }
        case SQL_BOOLEAN: {
            unsigned char b = DbToBool(v) ? 1 : 0;
            *p = b;
            break;
        }
        case SQL_BLOB: {
            ISC_QUAD id = WriteBlob(DbToText(v), tra);
            std::memcpy(p, &id, sizeof id);
            break;
        }
        default:
            throw EDatabaseError("Nicht unterstützter Parametertyp " + std::to_string(c.SqlType) + ".");
        }
    }
}

void FbStatement::Decode(std::vector<TDbValue>& row) {
    row.resize(out_.size());
    IUtil* util = fb::Util();
    for (size_t i = 0; i < out_.size(); ++i) {
        const FbColumn& c = out_[i];
        const unsigned char* p = outBuf_.data() + c.Offset;
        short null;
        std::memcpy(&null, outBuf_.data() + c.NullOffset, sizeof null);
        if (null) {
            row[i] = std::monostate{};
            continue;
        }
        switch (c.SqlType) {
        case SQL_TEXT: {
            size_t len = c.Length;
            if (c.CharSet != 1) // OCTETS keeps its bytes
                while (len > 0 && p[len - 1] == ' ')
                    --len;
            row[i] = std::string(reinterpret_cast<const char*>(p), len);
            break;
        }
        case SQL_VARYING: {
            unsigned short len;
            std::memcpy(&len, p, 2);
            row[i] = std::string(reinterpret_cast<const char*>(p + 2), len);
            break;
        }
        case SQL_SHORT:
        case SQL_LONG:
        case SQL_INT64: {
            std::int64_t x;
            if (c.SqlType == SQL_SHORT) {
                std::int16_t s;
                std::memcpy(&s, p, 2);
                x = s;
            } else if (c.SqlType == SQL_LONG) {
                std::int32_t l;
                std::memcpy(&l, p, 4);
                x = l;
            } else {
                std::memcpy(&x, p, 8);
            }
            if (c.Scale < 0)
                row[i] = Decimal{x, -c.Scale};
            else
                row[i] = x;
            break;
        }
        case SQL_FLOAT: {
            float f;
            std::memcpy(&f, p, 4);
            row[i] = static_cast<double>(f);
            break;
        }
        case SQL_DOUBLE:
        case SQL_D_FLOAT: {
            double d;
            std::memcpy(&d, p, 8);
            row[i] = d;
            break;
        }
        case SQL_TIMESTAMP:
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIME: {
            TSQLTimeStamp ts;
            ISC_DATE date = 0;
            ISC_TIME time = 0;
            if (c.SqlType == SQL_TIMESTAMP) {
                ISC_TIMESTAMP t;
                std::memcpy(&t, p, sizeof t);
                date = t.timestamp_date;
                time = t.timestamp_time;
            } else if (c.SqlType == SQL_TYPE_DATE) {
                std::memcpy(&date, p, sizeof date);
            } else {
                std::memcpy(&time, p, sizeof time);
            }
            if (c.SqlType != SQL_TYPE_TIME) {
                unsigned y, m, d;
                util->decodeDate(date, &y, &m, &d);
                ts.Year = static_cast<int>(y), ts.Month = m, ts.Day = d;
            }
            if (c.SqlType != SQL_TYPE_DATE)
                util->decodeTime(time, &ts.Hour, &ts.Minute, &ts.Second, &ts.Fractions);
            row[i] = ts;
            break;
        }
        case SQL_BOOLEAN:
            row[i] = *p != 0;
            break;
        case SQL_BLOB: {
            ISC_QUAD id;
            std::memcpy(&id, p, sizeof id);
            row[i] = ReadBlob(id);
            break;
        }
        default:
            row[i] = std::monostate{};
            break;
        }
    }
}

std::string FbStatement::ReadBlob(ISC_QUAD id) {
    ITransaction* tra = cursorTra_ ? cursorTra_ : conn_.WorkTransaction();
    fb::Status st;
    IBlob* blob = conn_.Attachment()->openBlob(&st, tra, &id, 0, nullptr);
    st.Check();
    std::string out;
    char buf[32768];
    for (;;) {
        unsigned got = 0;
        int rc = blob->getSegment(&st, sizeof buf, buf, &got);
        if (rc == IStatus::RESULT_OK || rc == IStatus::RESULT_SEGMENT) {
            out.append(buf, got);
            continue;
        }
        break;
    }
    if (st.Failed()) {
        blob->release();
        st.Check();
    }
    blob->close(&st);
    if (st.Failed())
        blob->release();
    return out;
}

ISC_QUAD FbStatement::WriteBlob(const std::string& bytes, ITransaction* tra) {
    fb::Status st;
    ISC_QUAD id{};
    IBlob* blob = conn_.Attachment()->createBlob(&st, tra, &id, 0, nullptr);
    st.Check();
    for (size_t pos = 0; pos < bytes.size() && !st.Failed(); pos += 32768) {
        size_t n = std::min<size_t>(32768, bytes.size() - pos);
        blob->putSegment(&st, static_cast<unsigned>(n), bytes.data() + pos);
    }
    if (st.Failed()) {
        fb::Status cancel;
        blob->cancel(&cancel);
        if (cancel.Failed())
            blob->release();
        st.Check();
    }
    blob->close(&st);
    if (st.Failed()) {
        blob->release();
        st.Check();
    }
    return id;
}

template <typename Values> unsigned FbStatement::Run(const Values& inputs, std::vector<TDbValue>* row) {
    EnsurePrepared();
    CloseCursor();
    ITransaction* tra = conn_.WorkTransaction();
    Bind(inputs, tra);
    st_.Clear();
    stmt_->execute(&st_, tra, inMeta_, inBuf_.data(), outMeta_, outBuf_.data());
    st_.Check();
    unsigned affected = 0;
    if (type_ == isc_info_sql_stmt_insert || type_ == isc_info_sql_stmt_update ||
        type_ == isc_info_sql_stmt_delete) {
        ISC_UINT64 n = stmt_->getAffectedRecords(&st_);
        st_.Check();
        affected = static_cast<unsigned>(n);
    }
    if (row && !out_.empty())
        Decode(*row);
    return affected;
}

unsigned FbStatement::Execute(const std::vector<TDbValue>& inputs, std::vector<TDbValue>* row) {
    return Run(inputs, row);
}

unsigned FbStatement::Execute(const std::vector<const TDbValue*>& inputs, std::vector<TDbValue>* row) {
    return Run(inputs, row);
}

void FbStatement::OpenCursor(const std::vector<TDbValue>& inputs) {
    EnsurePrepared();
    CloseCursor();
    ITransaction* tra = conn_.WorkTransaction();
    Bind(inputs, tra);
    st_.Clear();
    cursor_ = stmt_->openCursor(&st_, tra, inMeta_, inBuf_.data(), outMeta_, 0);
    st_.Check();
    cursorTra_ = tra;
    conn_.CursorOpened(tra);
}

bool FbStatement::Fetch(std::vector<TDbValue>& row) {
    if (!cursor_)
        return false;
    st_.Clear();
    int rc = cursor_->fetchNext(&st_, outBuf_.data());
    st_.Check();
    if (rc != IStatus::RESULT_OK)
        return false;
    Decode(row);
    return true;
}

void FbStatement::CloseCursor() {
    if (!cursor_)
        return;
    fb::Status st;
    if (HandlesLive()) {
        cursor_->close(&st);
        if (st.Failed())
            cursor_->release();
        conn_.CursorClosed(cursorTra_);
    } else {
        cursor_->release();
    }
    cursor_ = nullptr;
    cursorTra_ = nullptr;
}

} // namespace zbpv
