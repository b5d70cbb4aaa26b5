// The address step: employees, customers and suppliers with their contact persons, groups and group
// assignments, fresh or merged into the addresses already there.

#include "invoicing/address_rules.h"
#include "invoicing/import_run.h"

#include "support/ansi.h"
#include "support/datetime.h"

namespace zbpv {

struct TImportRun::TAddressKind {
    const char* File;
    const char* Art;
    const char* Panel;
    const char* TotalPanel;
    TKeyMap* Map;
    TKeyLookup* Lookup;
    bool Customers;
};

namespace {

std::string TextOf(const Variant& v) {
    return v.IsNull() ? std::string() : v.AsString();
}

// Sets a column to a text cut to its width; an empty text makes it NULL only when it was NULL.
void SetText(ITargetDataSet& ds, int col, const std::string& text) {
    ds.SetValue(col, Variant(text));
}

} // namespace

bool TImportRun::AskEmptyAddresses() {
    long long n = CountRows("ADRESSEN");
    if (n <= 6)
        return true;
    TQuestion first{
        "empty-addresses",
        "<B>In der Zieldatenbank sind bereits " + FormatThousands(n) +
            " Adressen gespeichert.</B>\r\n\r\nMöchten Sie nun alle vorhandenen Adressdatensätze löschen?",
        TMsgIcon::Question, false, TMsgAnswer::No};
    if (prompts_.Ask(first) != TMsgAnswer::Yes)
        return false;
    TQuestion second{"empty-addresses-confirm",
                     "Möchten Sie wirklich <B>alle bereits vorhandenen Adressdatensätze</B> löschen?",
                     TMsgIcon::Warning, false, TMsgAnswer::No};
    return prompts_.Ask(second) == TMsgAnswer::Yes;
}

void TImportRun::LoadPaymentMethods() {
    THourglass busy(progress_);
    paymentMethods_.clear();
    auto ds = OpenTargetQuery(db_, "SELECT Z.ZAHLWEISE\r\n\tFROM ZAHLWEISE Z");
    for (ds->First(); !ds->Eof(); ds->Next()) {
        Variant v = ds->Value(0);
        if (!v.IsNull())
            paymentMethods_.push_back(v.AsString());
    }
}

void TImportRun::ImportKunLfrMab() {
    SetActiveProcedure("ImportKunLfrMab");
    addressesEmptied_ = AskEmptyAddresses();
    if (addressesEmptied_)
        ExecStatements(
            {"DELETE FROM ADRESSEN", "DELETE FROM GRUPPEN", "DELETE FROM GRZUORD", "DELETE FROM ANSPRECH"});
    LoadPaymentMethods();

    adressen_ = OpenTarget("ADRESSEN", false);
    gruppen_ = OpenTarget("GRUPPEN", false);
    grzuord_ = OpenTarget("GRZUORD", false);
    ansprech_ = OpenTarget("ANSPRECH", false);
    suchbegriffWidth_ = (*adressen_)->Field((*adressen_)->FieldIndex("SUCHBEGRIFF")).Size;
    telMatchWidth_ = (*adressen_)->Field((*adressen_)->FieldIndex("TELEFONMATCHCODE")).Size;
    apTelMatchWidth_ = (*ansprech_)->Field((*ansprech_)->FieldIndex("TELEFONMATCHCODE")).Size;
    if (!addressesEmptied_)
        // An empty name and a NULL one are the same person.
        contactTest_ = std::make_unique<TLookup>(db_, "SELECT LFDNR\r\n\tFROM ANSPRECH\r\n"
                                                      "\tWHERE ADRESSENLFDNR = :ADRESSENLFDNR AND\r\n"
                                                      "\tCOALESCE(NAME, '')    = :NAME          AND\r\n"
                                                      "\tCOALESCE(VORNAME, '') = :VORNAME");
    if (contactTest_)
        contactTest_->ParamWidths = {0, (*ansprech_)->Field((*ansprech_)->FieldIndex("NAME")).Size,
                                     (*ansprech_)->Field((*ansprech_)->FieldIndex("VORNAME")).Size};

    std::unique_ptr<ISourceTable> ansprech = OpenSource("Ansprech.db");
    progress_.ShowTotal("panAPAnz", ansprech->RecordCount());

    std::unique_ptr<ISourceTable> gruppen;
    const TAddressKind kinds[] = {
        {"Mitarbei.db", "M", "panMab", "panMabAnz", employeeMap_.get(), mitarbeiter_.get(), false},
        {"Kunden.db", "K", "panKun", "panKunAnz", customerMap_.get(), kunde_.get(), true},
        {"Liefer.db", "L", "panLfr", "panLfrAnz", supplierMap_.get(), lieferant_.get(), false},
    };
    for (const TAddressKind& kind : kinds) {
        if (settings_.ImportSelection == 16 && !kind.Customers)
            continue;
        if (kind.Customers && settings_.MailIncluded())
            gruppen = OpenSource("Gruppen.DB");
        ImportAddressTable(kind, *ansprech, gruppen.get());
    }
    ReleaseDatasets({adressen_.get(), ansprech_.get(), gruppen_.get(), grzuord_.get()},
                    {&ansprech, &gruppen});
    adressen_.reset();
    gruppen_.reset();
    grzuord_.reset();
    ansprech_.reset();
    contactTest_.reset();
    paymentMethods_.clear();
}

void TImportRun::ImportAddressTable(const TAddressKind& kind, ISourceTable& ansprech, ISourceTable* gruppen) {
    std::unique_ptr<ISourceTable> src = OpenSource(kind.File);
    const int fNr = src->FieldIndex("Nr");
    const int fSeit = src->FieldIndex("SEIT");
    const int fAnrede = src->FieldIndex("ANREDE");
    const int fName = src->FieldIndex("NAME");
    const int fVorname = src->FieldIndex("VORNAME");
    const int fGruppe = src->FieldIndex("Gruppe");
    const int fName2 = src->FindField("Name2");
    const int fName3 = src->FindField("Name3");
    const int fVertreter = kind.Customers ? src->FieldIndex("VertreterNr") : -1;
    const int fZweit = kind.Customers ? src->FieldIndex("NrZweitadresse") : -1;

    ITargetDataSet& ds = **adressen_;
    const int cArt = ds.FieldIndex("ART"), cLfdnr = ds.FieldIndex("LFDNR"), cNr = ds.FieldIndex("NR");
    const int cEmail = ds.FieldIndex("EMAIL"), cAngelegt = ds.FieldIndex("ANGELEGTAM");
    const int cAnrede = ds.FieldIndex("ANREDE"), cTitel = ds.FieldIndex("TITEL"),
              cVorname = ds.FieldIndex("VORNAME");
    const int cName2 = ds.FieldIndex("NAME2"), cName3 = ds.FieldIndex("NAME3");
    const int cSuch = ds.FieldIndex("SUCHBEGRIFF"), cMatch = ds.FieldIndex("TELEFONMATCHCODE");
    const int cTel1 = ds.FieldIndex("TELEFON1"), cTel2 = ds.FieldIndex("TELEFON2"),
              cTel3 = ds.FieldIndex("TELEFON3");
    const int cFax = ds.FieldIndex("FAX");
    const int cVertreter = ds.FieldIndex("VERTRETERLFDNR"), cZahlweise = ds.FieldIndex("ZAHLWEISE");
    const int cBedingungen = ds.FieldIndex("ZAHLBEDINGUNGEN");
    int cFlags[5];
    const char* flags[5] = {"MAHNSPERRE", "AUFTRAGSSPERRE", "BANKEINZUG", "SERIENBRIEFSPERRE",
                            "SERIENEMAILSPERRE"};
    for (int i = 0; i < 5; ++i)
        cFlags[i] = ds.FieldIndex(flags[i]);

    const int total = src->RecordCount();
    progress_.StartCounter(kind.Panel, kind.TotalPanel, total);
    if (kind.Map)
        kind.Map->Reserve(static_cast<std::size_t>(total));
    // The address written in this run for each record, for the second pass.
    std::vector<int32_t> created;
    long long counted = 0, read = 0;

    for (src->First(); !src->Eof(); src->Next()) {
        progress_.StepCounter("");
        ++read;
        if (kind.Customers)
            created.push_back(0);
        const std::string nr = TextOf(src->Value(fNr));
        if (TrimKey(nr).empty())
            continue;
        const std::string key = NormalizeKey(nr, adressNrSize_);
        const std::string gruppe = TextOf(src->Value(fGruppe));

        int32_t existing = addressesEmptied_ ? 0 : kind.Lookup->Find(key);
        if (existing != 0) {
            if (kind.Map)
                kind.Map->Add(key, existing);
            ImportContactPersons(ansprech, kind.Art, nr, existing, true);
            ImportGroupList(gruppe, true, existing, gruppen);
        } else {
            ShowKey(nr);
            ds.Append();
            CopyFields(*src, ds);
            ds.SetValue(cArt, Variant(kind.Art));
            const int32_t lfdnr = db_.NextLfdnr();
            ds.SetValue(cLfdnr, Variant(lfdnr));
            // Numeric numbers are stored right-aligned, as every lookup expects them.
            ds.SetValue(cNr, Variant(key));
            if (std::string email = TextOf(ds.Value(cEmail)); !email.empty())
                ds.SetValue(cEmail, Variant(AnsiLowerCase(email)));
            try {
                ds.SetValue(cAngelegt, src->Value(fSeit));
            } catch (const EConvertError&) {
                ds.SetValue(cAngelegt, Variant());
            }

            SalutationSource sal{TextOf(src->Value(fAnrede)), TextOf(src->Value(fName)),
                                 TextOf(src->Value(fVorname)), fName2 >= 0 ? TextOf(src->Value(fName2)) : "",
                                 fName3 >= 0 ? TextOf(src->Value(fName3)) : ""};
            SalutationResult r = ApplySalutationRule(sal);
            if (r.anrede)
                SetText(ds, cAnrede, *r.anrede);
            if (r.titel)
                SetText(ds, cTitel, *r.titel);
            if (r.vorname)
                SetText(ds, cVorname, *r.vorname);
            if (r.name2)
                SetText(ds, cName2, *r.name2);
            if (r.name3)
                SetText(ds, cName3, *r.name3);
            SetText(ds, cSuch, CutToWidth(r.suchbegriff, suchbegriffWidth_));
            SetText(ds, cMatch,
                    CutToWidth(PhoneMatchCode(TextOf(ds.Value(cTel1)), TextOf(ds.Value(cTel2)),
                                              TextOf(ds.Value(cTel3)), TextOf(ds.Value(cFax))),
                               telMatchWidth_));
            for (int c : cFlags)
                ds.SetValue(c, Variant(JNFlag(TextOf(ds.Value(c)))));
            if (kind.Customers) {
                std::string vnr = Trim(TextOf(src->Value(fVertreter)));
                if (!vnr.empty())
                    if (int32_t e = FindMitarbeiter(vnr))
                        ds.SetValue(cVertreter, Variant(e));
            }
            if (auto method = PaymentMethodFor(paymentMethods_, TextOf(ds.Value(cBedingungen))))
                SetText(ds, cZahlweise, *method);

            adressen_->Post(nr);
            bool refused = !adressen_->Apply().empty();
            if (!refused) {
                if (kind.Map)
                    kind.Map->Add(key, lfdnr);
                if (kind.Customers)
                    created.back() = lfdnr;
                // A refused address takes its contact persons and groups with it: they belong to the
                // number, which another address of the same number has already brought along.
                ImportContactPersons(ansprech, kind.Art, nr, lfdnr, false);
                ImportGroupList(gruppe, false, lfdnr, gruppen);
            }
        }
        if (++counted % 100 == 0) {
            progress_.ProcessMessages();
            ds.EmptyBuffer();
        }
    }
    report_.AddRead(kind.File, read);

    if (kind.Customers) {
        // Second pass: delivery addresses refer to customers that may come later in the table. Only
        // addresses made in this run are changed.
        progress_.ShowPassLabel("lblKunPass");
        std::size_t index = 0;
        for (src->First(); !src->Eof(); src->Next(), ++index) {
            const std::string zweit = TextOf(src->Value(fZweit));
            if (index >= created.size() || created[index] == 0 || TrimKey(zweit).empty())
                continue;
            int32_t z = FindKunde(zweit);
            if (z == 0)
                continue;
            TTargetTable row(OpenTargetQuery(db_, "SELECT * FROM ADRESSEN WHERE LFDNR = :LFDNR",
                                             {Variant(created[index])}),
                             "ADRESSEN", report_, false);
            if (row->RecordCount() == 0)
                continue;
            row->First();
            row->Edit();
            row->SetByName("LFDNRZWEITADRESSE", Variant(z));
            row.Post(TextOf(src->Value(fNr)));
            row.Apply();
        }
    }
    adressen_->ApplyAndEmpty();
    ansprech_->ApplyAndEmpty();
}

void TImportRun::ImportContactPersons(ISourceTable& ansprech, const std::string& art, const std::string& nr,
                                      int32_t addressKey, bool checkExisting) {
    ansprech.SetRange({Variant(art), Variant(nr)}, {Variant(art), Variant(nr)});
    const int fArt = ansprech.FieldIndex("Art"), fName = ansprech.FieldIndex("Name");
    const int fVorname = ansprech.FieldIndex("Vorname"), fAnrede = ansprech.FieldIndex("Anrede");
    const int fAbteilung = ansprech.FieldIndex("Abteilung"), fPosition = ansprech.FieldIndex("Position");
    const int fTelefon = ansprech.FieldIndex("Telefon"), fTelefon2 = ansprech.FindField("Telefon2");
    const int fFax = ansprech.FieldIndex("Fax"), fEmail = ansprech.FieldIndex("EMail");
    const int fBrief = ansprech.FieldIndex("Briefanrede"), fGeburtstag = ansprech.FieldIndex("Geburtstag");
    int fFrei = ansprech.FindField("FreiFeld01");
    if (fFrei < 0)
        fFrei = ansprech.FindField("FreiFeld1");
    if (fFrei < 0)
        fFrei = ansprech.FindField("FreiFeld");
    const int fBrief2 = ansprech.FindField("Serienbriefsperre"),
              fMail2 = ansprech.FindField("SerienEMailsperre");
    const int fBemerkung = ansprech.FieldIndex("Bemerkung");

    ITargetDataSet& ds = **ansprech_;
    report_.AddRead("Ansprech.db", ansprech.RecordCount());
    for (; !ansprech.Eof(); ansprech.Next()) {
        const std::string name = TextOf(ansprech.Value(fName)), vorname = TextOf(ansprech.Value(fVorname));
        if (checkExisting && contactTest_->Exists({Variant(addressKey), Variant(name), Variant(vorname)}))
            continue;
        ds.Append();
        ds.SetByName("LFDNR", Variant(db_.NextLfdnr()));
        ds.SetByName("ADRESSENLFDNR", Variant(addressKey));
        ds.SetByName("ART", ansprech.Value(fArt));
        ds.SetByName("NAME", ansprech.Value(fName));
        ds.SetByName("VORNAME", ansprech.Value(fVorname));
        ds.SetByName("ANREDE", ansprech.Value(fAnrede));
        ds.SetByName("ABTEILUNG", ansprech.Value(fAbteilung));
        ds.SetByName("POS", Variant(TextOf(ansprech.Value(fPosition))));
        const std::string tel1 = TextOf(ansprech.Value(fTelefon));
        const std::string tel2 = fTelefon2 >= 0 ? TextOf(ansprech.Value(fTelefon2)) : "";
        ds.SetByName("TELEFON1", Variant(tel1));
        if (fTelefon2 >= 0)
            ds.SetByName("TELEFON2", Variant(tel2));
        ds.SetByName("FAX", ansprech.Value(fFax));
        ds.SetByName("TELEFONMATCHCODE",
                     Variant(CutToWidth(PhoneMatchCode(tel1, tel2, "", TextOf(ansprech.Value(fFax))),
                                        apTelMatchWidth_)));
        if (std::string email = TextOf(ansprech.Value(fEmail)); !email.empty())
            ds.SetByName("EMAIL", Variant(AnsiLowerCase(email)));
        ds.SetByName("BRIEFANREDE", ansprech.Value(fBrief));
        if (Variant g = ansprech.Value(fGeburtstag); !g.IsNull()) {
            try {
                ds.SetByName("GEBURTSTAG", Variant::FromDateTime(g.AsDateTime()));
            } catch (const EConvertError&) {
            }
        }
        if (fFrei >= 0)
            ds.SetByName("FREIFELD1", ansprech.Value(fFrei));
        if (fBrief2 >= 0)
            ds.SetByName("SERIENBRIEFSPERRE", ansprech.Value(fBrief2));
        if (fMail2 >= 0)
            ds.SetByName("SERIENEMAILSPERRE", ansprech.Value(fMail2));
        ds.SetByName("BEMERKUNG", ansprech.Value(fBemerkung));
        ansprech_->Post(art + ";" + nr + ";" + name + ";" + vorname);
        progress_.StepCounter("panAP");
    }
    ansprech.CancelRange();
    ansprech_->ApplyAndEmpty(); // the buffer stays small on large tables
}

int32_t TImportRun::CreateGroup(const std::string& name, ISourceTable* gruppen) {
    ITargetDataSet& ds = **gruppen_;
    ds.Append();
    if (gruppen && gruppen->FindKey({Variant(name)}))
        CopyFields(*gruppen, ds);
    const int32_t g = db_.NextLfdnr();
    ds.SetByName("LFDNR", Variant(g));
    ds.SetByName("KURZBEZ", Variant(name));
    gruppen_->Post(name);
    if (!gruppen_->ApplyAndEmpty().empty())
        return 0;
    if (groupMap_)
        groupMap_->Add(name, g);
    progress_.StepCounter("panGrp");
    return g;
}

std::pair<int32_t, bool> TImportRun::FindOrCreateGroup(const std::string& name, ISourceTable* gruppen) {
    if (int32_t g = FindGruppe(name))
        return {g, false};
    int32_t g = CreateGroup(name, gruppen);
    return {g, g != 0};
}

void TImportRun::ImportGroupList(const std::string& list, bool checkExisting, int32_t addressKey,
                                 ISourceTable* gruppen) {
    for (const std::string& name : SplitGroupList(list)) {
        int32_t g = FindGruppe(name);
        if (g == 0)
            g = CreateGroup(name, gruppen);
        if (g == 0)
            continue; // the group was refused (and reported)
        if (checkExisting && GrZuordExists(addressKey, g))
            continue;
        ITargetDataSet& ds = **grzuord_;
        ds.Append();
        ds.SetByName("LFDNR", Variant(db_.NextLfdnr()));
        ds.SetByName("KUNDENLFDNR", Variant(addressKey));
        ds.SetByName("GRUPPELFDNR", Variant(g));
        grzuord_->Post(name);
        grzuord_->ApplyAndEmpty();
        progress_.StepCounter("panGrZuord");
    }
}

} // namespace zbpv
