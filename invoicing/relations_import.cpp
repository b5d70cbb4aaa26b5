// The steps that relate addresses: stored group assignments, the contact history and the customers'
// delivery addresses.

#include "invoicing/import_run.h"

#include "support/ansi.h"
#include "support/datetime.h"

#include <set>

namespace zbpv {

namespace {

std::string TextOf(const Variant& v) {
    return v.IsNull() ? std::string() : v.AsString();
}

std::optional<TDateTime> DateValue(const Variant& v) {
    if (v.IsNull())
        return std::nullopt;
    try {
        return v.AsDateTime();
    } catch (const EConvertError&) {
        return std::nullopt;
    }
}

} // namespace

void TImportRun::ImportKunGrZuord() {
    SetActiveProcedure("ImportKunGrZuord");
    if (!settings_.MailIncluded())
        return;
    std::unique_ptr<ISourceTable> src = OpenSource("GrZuord.DB");
    std::unique_ptr<ISourceTable> gruppen = OpenSource("Gruppen.DB");
    gruppen_ = OpenTarget("GRUPPEN", false);
    grzuord_ = OpenTarget("GRZUORD", false);
    progress_.ShowPassLabel("lblGrZuordPass");

    const int fNr = src->FieldIndex("Nr"), fGruppe = src->FieldIndex("Gruppe");
    const int fDatum = src->FieldIndex("Zuordnungsdatum");
    long long written = 0, read = 0;
    for (src->First(); !src->Eof(); src->Next()) {
        ++read;
        const std::string nr = TextOf(src->Value(fNr)), gruppe = TextOf(src->Value(fGruppe));
        ShowKey(nr + ";" + gruppe);
        int32_t k = FindKunde(nr);
        if (k == 0 || Trim(gruppe).empty())
            continue;
        auto [g, created] = FindOrCreateGroup(gruppe, gruppen.get());
        if (g == 0)
            continue;
        if (!created && GrZuordExists(k, g))
            continue;
        ITargetDataSet& ds = **grzuord_;
        ds.Append();
        const TDateTime now = Now();
        const TDateTime assigned = DateValue(src->Value(fDatum)).value_or(now);
        ds.SetByName("LFDNR", Variant(db_.NextLfdnr()));
        ds.SetByName("KUNDENLFDNR", Variant(k));
        ds.SetByName("GRUPPELFDNR", Variant(g));
        ds.SetByName("ZUORDNUNGSDATUM", Variant::FromDateTime(assigned));
        ds.SetByName("ANGELEGTAM", Variant::FromDateTime(assigned));
        ds.SetByName("ANGELEGTVON", Variant("ADM"));
        ds.SetByName("GEAENDERTAM", Variant::FromDateTime(now));
        ds.SetByName("GEAENDERTVON", Variant("ADM"));
        grzuord_->Post(nr + ";" + gruppe);
        grzuord_->ApplyAndEmpty();
        progress_.StepCounter("panGrZuord");
        if (++written % 100 == 0)
            progress_.ProcessMessages();
    }
    report_.AddRead("GrZuord.DB", read);
    ReleaseDatasets({gruppen_.get(), grzuord_.get()}, {&src, &gruppen});
    gruppen_.reset();
    grzuord_.reset();
}

void TImportRun::ImportKontakte() {
    SetActiveProcedure("ImportKontakte");
    std::unique_ptr<ISourceTable> src = OpenSource("Kontakte.db");
    if (settings_.ImportSelection == 16)
        src->SetRange({Variant("K")}, {Variant("K")});
    progress_.StartCounter("panKon", "panKonAnz", src->RecordCount());

    long long existing = 0;
    if (addressesEmptied_)
        ExecStatements({"DELETE FROM KONTAKTE"});
    else
        existing = CountRows("KONTAKTE");
    // Structure only: the step finds earlier rows through the duplicate tests, not in the buffer.
    std::unique_ptr<TTargetTable> kontakte = OpenTarget("KONTAKTE", false);
    std::unique_ptr<TLookup> knownTest, nameTest;
    if (existing >= 1) {
        // NULL and empty texts, and missing dates, count as equal.
        knownTest = std::make_unique<TLookup>(db_, "SELECT LFDNR\r\nFROM KONTAKTE\r\n"
                                                   "WHERE ADRESSENLFDNR = :ADRESSENLFDNR  AND\r\n"
                                                   "\tDATUM IS NOT DISTINCT FROM :DATUM AND\r\n"
                                                   "\tCOALESCE(KONTAKTART, '') = :KONTAKTART");
        nameTest = std::make_unique<TLookup>(db_, "SELECT LFDNR\r\nFROM KONTAKTE\r\n"
                                                  "WHERE COALESCE(NAME, '') = :NAME AND\r\n"
                                                  "\tDATUM IS NOT DISTINCT FROM :DATUM AND\r\n"
                                                  "\tCOALESCE(KONTAKTART, '') = :KONTAKTART");
    }
    if (knownTest) {
        ITargetDataSet& k = **kontakte;
        const int kontaktArtWidth = k.Field(k.FieldIndex("KONTAKTART")).Size;
        knownTest->ParamWidths = {0, 0, kontaktArtWidth};
        nameTest->ParamWidths = {k.Field(k.FieldIndex("NAME")).Size, 0, kontaktArtWidth};
    }
    const int fId = src->FindField("ID");
    contactLinks_.reset();
    if (settings_.MailIncluded() && fId >= 0)
        contactLinks_ = std::make_unique<TLinkList>();

    const int fNr = src->FieldIndex("Nr"), fArt = src->FieldIndex("Art"), fName = src->FieldIndex("Name");
    const int fDatum = src->FieldIndex("Datum"), fZeit = src->FindField("Zeit");
    const int fKontaktArt = src->FieldIndex("KontaktArt");
    ITargetDataSet& ds = **kontakte;
    const int cLfdnr = ds.FieldIndex("LFDNR"), cDatum = ds.FieldIndex("DATUM");
    const int cAdresse = ds.FieldIndex("ADRESSENLFDNR");

    // Links of the rows pending in the buffer; taken over once their rows are written.
    std::vector<std::pair<std::string, int32_t>> pendingLinks;
    std::vector<int> pendingLinkRow;
    int pendingRows = 0;
    auto apply = [&] {
        std::vector<std::size_t> refused = kontakte->ApplyAndEmpty();
        std::set<std::size_t> bad(refused.begin(), refused.end());
        for (std::size_t i = 0; i < pendingLinks.size(); ++i)
            if (!bad.count(static_cast<std::size_t>(pendingLinkRow[i])))
                contactLinks_->PutLink(pendingLinks[i].first, pendingLinks[i].second);
        pendingLinks.clear();
        pendingLinkRow.clear();
        pendingRows = 0;
    };

    long long written = 0, read = 0;
    for (src->First(); !src->Eof(); src->Next()) {
        ++read;
        const std::string nr = TextOf(src->Value(fNr));
        ShowKey(nr);
        std::optional<TDateTime> when = DateValue(src->Value(fDatum));
        if (when && fZeit >= 0)
            if (std::optional<TDateTime> t = DateValue(src->Value(fZeit)))
                *when = CombineDateTime(DateOf(*when), TimeOf(*t));
        const Variant datum = when ? Variant::FromDateTime(*when) : Variant();
        const std::string kontaktArt = TextOf(src->Value(fKontaktArt));

        int32_t a = 0;
        if (!TrimKey(nr).empty()) {
            std::string art = TextOf(src->Value(fArt));
            if (art == "K")
                a = FindKunde(nr);
            else if (art == "L")
                a = FindLieferant(nr);
            else if (art == "M")
                a = FindMitarbeiter(nr);
        }
        if (existing >= 1) {
            // A contact whose address is not found is matched like one without number, or every merge
            // would write it again.
            bool found =
                a != 0 ? knownTest->Exists({Variant(a), datum, Variant(kontaktArt)})
                       : nameTest->Exists({Variant(TextOf(src->Value(fName))), datum, Variant(kontaktArt)});
            if (found)
                continue;
        }
        ds.Append();
        CopyFields(*src, ds);
        const int32_t lfdnr = db_.NextLfdnr();
        ds.SetValue(cLfdnr, Variant(lfdnr));
        ds.SetValue(cDatum, datum);
        if (contactLinks_)
            if (std::string id = TextOf(src->Value(fId)); !Trim(id).empty()) {
                pendingLinks.emplace_back(id, lfdnr);
                pendingLinkRow.push_back(pendingRows);
            }
        if (a != 0)
            ds.SetValue(cAdresse, Variant(a));
        kontakte->Post(nr + ";" + TextOf(src->Value(fName)));
        ++pendingRows;
        progress_.StepCounter("");
        if (++written % 100 == 0) {
            progress_.ProcessMessages();
            apply();
        }
    }
    apply();
    report_.AddRead("Kontakte.db", read);
    ReleaseDatasets({kontakte.get()}, {&src});
}

void TImportRun::ImportKunLief() {
    if (settings_.ImportSelection == 16)
        return;
    SetActiveProcedure("ImportKunLief");
    std::unique_ptr<ISourceTable> src = OpenSource("Kunlief.db");
    progress_.StartCounter("panKunLief", "panKunliefAnz", src->RecordCount());
    if (addressesEmptied_)
        ExecStatements({"DELETE FROM KUNLIEF"});
    std::unique_ptr<TTargetTable> kunlief = OpenTarget("KUNLIEF", false);
    const int fKunde = src->FieldIndex("Kundennr"), fZweit = src->FieldIndex("NrZweitAdresse");
    ITargetDataSet& ds = **kunlief;
    std::set<std::pair<int32_t, int32_t>> written;
    long long read = 0;
    for (src->First(); !src->Eof(); src->Next()) {
        ++read;
        progress_.StepCounter("");
        const std::string kn = TextOf(src->Value(fKunde)), zn = TextOf(src->Value(fZweit));
        if (Trim(kn).empty() || Trim(zn).empty())
            continue;
        int32_t k = FindKunde(kn), z = FindKunde(zn);
        if (k == 0 || z == 0)
            continue;
        // A pair written in this run is not written twice (the unique key would refuse it).
        if (written.count({k, z}) || (!addressesEmptied_ && KunLiefExists(k, z)))
            continue;
        NewRowDefaults(ds);
        ds.SetByName("KUNDENLFDNR", Variant(k));
        ds.SetByName("LFDNRZWEITADRESSE", Variant(z));
        kunlief->Post(kn + ";" + zn);
        written.insert({k, z});
        if (written.size() % 100 == 0) {
            kunlief->ApplyAndEmpty();
            progress_.ProcessMessages();
        }
    }
    report_.AddRead("Kunlief.db", read);
    kunlief->Apply();
    ReleaseDatasets({kunlief.get()}, {&src});
}

} // namespace zbpv
