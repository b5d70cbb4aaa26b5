#include "tools/make-sample-installation/sample_installation.h"

#include "support/ansi.h"
#include "support/datetime.h"
#include "tests/support/paradox_writer.h"

#include <fstream>
#include <random>
#include <system_error>

namespace zbpv {

namespace fs = std::filesystem;

namespace {

using V = Variant;
const V N;

// Source texts are UTF-8; the tables hold Windows-1252.
V T(const std::string& utf8) {
    return V(Utf8ToAnsi(utf8));
}

const char* const kSurnames[] = {"Müller",  "Schmidt",    "Schneider", "Fischer",  "Weber",    "Meyer",
                                 "Wagner",  "Becker",     "Schulz",    "Hoffmann", "Schäfer",  "Koch",
                                 "Bauer",   "Richter",    "Klein",     "Wolf",     "Schröder", "Neumann",
                                 "Schwarz", "Zimmermann", "Braun",     "Krüger",   "Hofmann",  "Hartmann",
                                 "Lange",   "Schmitt",    "Werner",    "Krause",   "Meier",    "Lehmann"};
const char* const kMale[] = {"Hans", "Peter", "Klaus", "Jürgen", "Thomas", "Michael",  "Stefan", "Andreas",
                             "Jörg", "Uwe",   "Frank", "Martin", "Bernd",  "Wolfgang", "Günter"};
const char* const kFemale[] = {"Ursula", "Monika",   "Petra",    "Sabine",  "Renate",
                               "Karin",  "Gabriele", "Birgit",   "Andrea",  "Claudia",
                               "Jutta",  "Heike",    "Brigitte", "Susanne", "Bärbel"};
const char* const kCompanies[] = {"Bau GmbH",    "Elektro KG",   "Sanitär AG",
                                  "Holzbau OHG", "Dachdeckerei", "Malerbetrieb",
                                  "Autohaus",    "Druckerei",    "Metallbau GmbH & Co. KG",
                                  "Gärtnerei"};
const char* const kStreets[] = {"Hauptstraße", "Bahnhofstraße", "Schulstraße",  "Gartenweg",  "Lindenallee",
                                "Kirchplatz",  "Am Mühlbach",   "Goethestraße", "Bergstraße", "Waldweg"};
struct Town {
    const char* plz;
    const char* ort;
    const char* vorwahl;
};
const Town kTowns[] = {{"79098", "Freiburg im Breisgau", "0761"},
                       {"80331", "München", "089"},
                       {"70173", "Stuttgart", "0711"},
                       {"50667", "Köln", "0221"},
                       {"20095", "Hamburg", "040"},
                       {"01067", "Dresden", "0351"},
                       {"90402", "Nürnberg", "0911"},
                       {"04109", "Leipzig", "0341"}};
const char* const kGroups[] = {"Stammkunden", "Bau",        "Hochbau",  "Tiefbau",  "VIP",
                               "Presse",      "Newsletter", "Handwerk", "Behörden", "Messe 2007"};
const char* const kConditions[] = {"Zahlbar innerhalb 14 Tagen ohne Abzug", "Zahlbar sofort in bar",
                                   "Betrag wird per Lastschrift eingezogen", "Überweisung innerhalb 30 Tagen",
                                   "7 Tage 2 % Skonto, 30 Tage netto"};
const char* const kContactKinds[] = {"Telefon", "Besuch", "Brief", "E-Mail", "Fax"};

class Gen {
public:
    explicit Gen(unsigned seed) : rng_(seed) {}
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    template <class A> const char* Pick(const A& a) { return a[Int(0, static_cast<int>(std::size(a)) - 1)]; }
    bool Chance(int percent) { return Int(1, 100) <= percent; }
    std::string Digits(int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += static_cast<char>('0' + Int(0, 9));
        return s;
    }

private:
    std::mt19937 rng_;
};

const std::vector<std::pair<std::string, PxFieldType>> kAddressFields = {
    {"Nr", PxFieldType::Alpha},
    {"Anrede", PxFieldType::Alpha},
    {"Name", PxFieldType::Alpha},
    {"Vorname", PxFieldType::Alpha},
    {"Name2", PxFieldType::Alpha},
    {"Name3", PxFieldType::Alpha},
    {"Strasse", PxFieldType::Alpha},
    {"Land", PxFieldType::Alpha},
    {"PLZ", PxFieldType::Alpha},
    {"Ort", PxFieldType::Alpha},
    {"Telefon1", PxFieldType::Alpha},
    {"Telefon2", PxFieldType::Alpha},
    {"Telefon3", PxFieldType::Alpha},
    {"Fax", PxFieldType::Alpha},
    {"EMail", PxFieldType::Alpha},
    {"Internet", PxFieldType::Alpha},
    {"Briefanrede", PxFieldType::Alpha},
    {"Gruppe", PxFieldType::Alpha},
    {"Seit", PxFieldType::Date},
    {"Geburtstag", PxFieldType::Date},
    {"Bankeinzug", PxFieldType::Alpha},
    {"Mahnsperre", PxFieldType::Alpha},
    {"Auftragssperre", PxFieldType::Alpha},
    {"Serienbriefsperre", PxFieldType::Alpha},
    {"Bank", PxFieldType::Alpha},
    {"BLZ", PxFieldType::Alpha},
    {"BankKtoNr", PxFieldType::Alpha},
    {"Zahlungin", PxFieldType::Short},
    {"Skonto", PxFieldType::Number},
    {"Zahlbedingungen", PxFieldType::Memo},
    {"Umsatz", PxFieldType::Currency},
    {"Bemerkung", PxFieldType::Memo},
};
const int kAddressSizes[] = {8,  25, 40, 30, 50, 50, 40, 3, 9,  40, 30, 30, 30, 30, 70, 50,
                             45, 80, 0,  0,  1,  1,  1,  1, 30, 9,  11, 0,  0,  20, 0,  20};

TParadoxWriter AddressWriter(const std::string& file, bool customers) {
    TParadoxWriter w(file);
    for (size_t i = 0; i < kAddressFields.size(); ++i)
        w.AddField(kAddressFields[i].first, kAddressFields[i].second, kAddressSizes[i]);
    if (customers)
        w.AddField("VertreterNr", PxFieldType::Alpha, 8).AddField("NrZweitadresse", PxFieldType::Alpha, 8);
    w.SetKeyFields(1);
    return w;
}

struct Address {
    std::string nr, anrede, name, vorname, name2, gruppe, conditions, bankeinzug = "N", mahnsperre = "N";
    std::string vertreter, zweit, phone1, fax;
};

std::vector<V> AddressRow(Gen& g, const Address& a, bool customers) {
    const Town& town = kTowns[g.Int(0, static_cast<int>(std::size(kTowns)) - 1)];
    std::string phone1 = a.phone1.empty()
                             ? std::string("(") + town.vorwahl + ") " + g.Digits(3) + "-" + g.Digits(2)
                             : a.phone1;
    std::string fax = a.fax.empty() && g.Chance(40) ? std::string(town.vorwahl) + "/" + g.Digits(5) : a.fax;
    std::string mailName = a.vorname.empty() ? "info" : a.vorname.substr(0, 1);
    std::vector<V> r = {
        T(a.nr),
        T(a.anrede),
        T(a.name),
        T(a.vorname),
        T(a.name2),
        V(""),
        T(std::string(g.Pick(kStreets)) + " " + std::to_string(g.Int(1, 120))),
        V("D"),
        V(town.plz),
        T(town.ort),
        T(phone1),
        V(g.Chance(20) ? "0171 " + g.Digits(7) : ""),
        V(""),
        T(fax),
        V(g.Chance(70) ? mailName + "." + std::to_string(g.Int(1, 999)) + "@Beispiel.DE" : ""),
        V(g.Chance(30) ? "www.beispiel" + std::to_string(g.Int(1, 99)) + ".de" : ""),
        T(a.anrede == "Frau"   ? "Sehr geehrte Frau " + a.name
          : a.anrede == "Herr" ? "Sehr geehrter Herr " + a.name
                               : "Sehr geehrte Damen und Herren"),
        T(a.gruppe),
        V::FromDateTime(EncodeDate(g.Int(1995, 2007), g.Int(1, 12), g.Int(1, 28))),
        g.Chance(30) ? V::FromDateTime(EncodeDate(g.Int(1940, 1985), g.Int(1, 12), g.Int(1, 28))) : N,
        V(a.bankeinzug),
        V(a.mahnsperre),
        V(g.Chance(5) ? "J" : "N"),
        V(g.Chance(10) ? "j" : ""),
        T(g.Chance(50) ? "Sparkasse" : "Volksbank"),
        V(g.Digits(8)),
        V(g.Digits(10)),
        V(g.Int(0, 3) * 10),
        V(g.Chance(30) ? 2.0 : 0.0),
        T(a.conditions),
        V(g.Int(0, 2000000) / 100.0),
        V("")};
    if (customers) {
        r.push_back(T(a.vertreter));
        r.push_back(T(a.zweit));
    }
    return r;
}

Address Person(Gen& g, const std::string& nr) {
    Address a;
    a.nr = nr;
    bool female = g.Chance(50);
    a.anrede = female ? "Frau" : "Herr";
    a.name = g.Pick(kSurnames);
    a.vorname = female ? g.Pick(kFemale) : g.Pick(kMale);
    if (g.Chance(5))
        a.vorname = "Dr. " + a.vorname;
    return a;
}

Address Company(Gen& g, const std::string& nr) {
    Address a;
    a.nr = nr;
    a.anrede = g.Chance(50) ? "Firma" : "Fa.";
    a.name = std::string(g.Pick(kSurnames)) + " " + g.Pick(kCompanies);
    return a;
}

void WriteFile(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out << text;
    if (!out)
        throw std::runtime_error("cannot write " + p.string());
}

} // namespace

TSampleInstallation WriteSampleInstallation(const fs::path& dir, const TSampleOptions& options) {
    TSampleInstallation inst;
    inst.WinePrefix = dir / "wine";
    fs::path c = inst.WinePrefix / "drive_c";
    inst.DataFolder = c / "ZB7" / "Daten";
    inst.MailFolder = c / "PV2" / "MailDaten";
    fs::create_directories(inst.DataFolder);
    fs::create_directories(inst.MailFolder);
    fs::create_directories(inst.WinePrefix / "dosdevices");
    std::error_code ec;
    fs::remove(inst.WinePrefix / "dosdevices" / "c:", ec);
    fs::create_directory_symlink("../drive_c", inst.WinePrefix / "dosdevices" / "c:");

    // The registry and ini files the wizard reads to find the two installations.
    WriteFile(inst.WinePrefix / "system.reg",
              "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n"
              "#arch=win32\n\n"
              "[Software\\\\Velkaro\\\\ZarvoBillora\\\\7.0] 1199145600\n"
              "\"Pfad\"=\"C:\\\\ZB7\"\n\n"
              "[Software\\\\Velkaro\\\\Postiverso\\\\2.0] 1199145600\n"
              "\"Pfad\"=\"C:\\\\PV2\"\n\n");
    WriteFile(c / "ZB7" / "Zarvobil.ini", "[Pfade]\r\nPfadDaten=C:\\ZB7\\Daten\r\n");
    WriteFile(c / "PV2" / "Postiverso.ini",
              "[Path]\r\nData=C:\\ZB7\\Daten\r\n[QRZPath]\r\nData=C:\\PV2\\MailDaten\r\n");

    Gen g(options.Seed);
    const int scale = std::max(1, options.Scale);
    const int customers = 20 * scale, suppliers = 2 * scale + 1, employees = std::max(3, scale / 5 + 3);
    std::string folder = inst.DataFolder.string();
    auto note = [&](const std::string& file, size_t n) {
        inst.Tables.emplace_back(file, static_cast<long long>(n));
    };

    // Employees: numbers 1.. ; the sales representatives of the customers.
    TParadoxWriter mab = AddressWriter("Mitarbei.db", false);
    for (int i = 1; i <= employees; ++i) {
        Address a = Person(g, std::to_string(i));
        a.gruppe = i == 2 ? "Vertrieb;Innendienst" : "Vertrieb";
        mab.Append(AddressRow(g, a, false));
    }
    mab.Write(folder);
    note("Mitarbei.db", mab.RecordCount());

    // Customers: the awkward cases first, then generated ones with numbers 1000...
    std::vector<Address> special;
    {
        Address a = Company(g, "17");
        a.gruppe = "Stammkunden; Bau; Hochbau";
        a.conditions = "Betrag wird per Lastschrift eingezogen";
        a.vertreter = "1";
        a.zweit = "A17";
        a.anrede = "Firma";
        special.push_back(a);
        Address b = Person(g, "A17"); // a number with letters
        b.anrede = "Herr Dr.";
        b.gruppe = "VIP;vip ;Presse";
        special.push_back(b);
        Address e = Person(g, "20");
        e.anrede = "Frau";
        e.vorname = "Prof. Dr. Eva";
        e.phone1 = "+49 (761) 123/45-6";
        special.push_back(e);
        Address f = Company(g, "K-100");
        f.anrede = "Bauunternehmung"; // a salutation that is a company name
        f.name2 = "";
        f.gruppe = "Bau;BAU";
        special.push_back(f);
        Address h = Person(g, "21");
        h.anrede = "Fa.";
        h.vorname = "Dr. Hans"; // company marker with a title in the first name
        special.push_back(h);
        Address n = Person(g, ""); // a record without number
        special.push_back(n);
        if (options.WithDuplicateNumbers) {
            Address d = Person(g, " 1001"); // the same target number as "1001"
            special.push_back(d);
        }
    }
    TParadoxWriter kun = AddressWriter("Kunden.db", true);
    std::vector<std::string> customerNrs;
    for (Address& a : special) {
        kun.Append(AddressRow(g, a, true));
        if (!Trim(a.nr).empty())
            customerNrs.push_back(a.nr);
    }
    for (int i = 0; i < customers; ++i) {
        std::string nr = std::to_string(1000 + i);
        Address a = g.Chance(30) ? Company(g, nr) : Person(g, nr);
        if (g.Chance(60)) {
            a.gruppe = g.Pick(kGroups);
            if (g.Chance(40))
                a.gruppe += std::string(";") + g.Pick(kGroups);
        }
        a.conditions = g.Pick(kConditions);
        a.bankeinzug = g.Chance(20) ? "J" : "N";
        a.mahnsperre = g.Chance(5) ? "J" : "";
        if (g.Chance(50))
            a.vertreter = std::to_string(g.Int(1, employees));
        if (g.Chance(5))
            a.zweit = std::to_string(1000 + g.Int(0, customers - 1));
        kun.Append(AddressRow(g, a, true));
        customerNrs.push_back(nr);
    }
    kun.Write(folder);
    note("Kunden.db", kun.RecordCount());

    TParadoxWriter lfr = AddressWriter("Liefer.db", false);
    for (int i = 0; i < suppliers; ++i) {
        Address a = Company(g, std::to_string(500 + i));
        if (i == 0)
            a.vorname = "Prof. Max";
        a.gruppe = i % 2 ? "Handwerk" : "";
        lfr.Append(AddressRow(g, a, false));
    }
    lfr.Write(folder);
    note("Liefer.db", lfr.RecordCount());

    // Contact persons: about two per customer, keyed by kind, number and a running number.
    TParadoxWriter ap("Ansprech.db");
    ap.AddField("Art", PxFieldType::Alpha, 1)
        .AddField("Nr", PxFieldType::Alpha, 8)
        .AddField("Lfd", PxFieldType::Long)
        .AddField("Name", PxFieldType::Alpha, 40)
        .AddField("Vorname", PxFieldType::Alpha, 30)
        .AddField("Anrede", PxFieldType::Alpha, 25)
        .AddField("Abteilung", PxFieldType::Alpha, 40)
        .AddField("Position", PxFieldType::Alpha, 30)
        .AddField("Telefon", PxFieldType::Alpha, 30)
        .AddField("Telefon2", PxFieldType::Alpha, 30)
        .AddField("Fax", PxFieldType::Alpha, 30)
        .AddField("EMail", PxFieldType::Alpha, 60)
        .AddField("Briefanrede", PxFieldType::Alpha, 45)
        .AddField("Geburtstag", PxFieldType::Date)
        .AddField("FreiFeld01", PxFieldType::Alpha, 30)
        .AddField("Serienbriefsperre", PxFieldType::Alpha, 1)
        .AddField("Bemerkung", PxFieldType::Memo, 10)
        .SetKeyFields(3);
    const char* const departments[] = {"Einkauf", "Buchhaltung", "Geschäftsführung", "Technik", "Vertrieb"};
    int lfd = 0;
    for (const std::string& nr : customerNrs) {
        int n = nr == "17" ? 2 : g.Int(0, 4);
        for (int k = 0; k < n; ++k) {
            Address p = Person(g, nr);
            ap.Append(
                {V("K"), T(nr), V(++lfd), T(p.name), T(p.vorname), T(p.anrede), T(g.Pick(departments)),
                 V(g.Chance(30) ? "Leiter" : ""), V("0" + g.Digits(3) + " / " + g.Digits(6)),
                 V(g.Chance(20) ? "0172-" + g.Digits(7) : ""), V(""),
                 V(g.Chance(60) ? p.vorname.substr(0, 1) + "." + std::to_string(lfd) + "@Firma.DE" : ""),
                 T(p.anrede == "Frau" ? "Sehr geehrte Frau " + p.name : "Sehr geehrter Herr " + p.name),
                 g.Chance(20) ? V::FromDateTime(EncodeDate(g.Int(1950, 1985), g.Int(1, 12), g.Int(1, 28)))
                              : N,
                 V(""), V(g.Chance(10) ? "J" : "N"), V("")});
        }
    }
    ap.Append({V("L"), V("500"), V(++lfd), T("Holz"), T("Ute"), T("Frau"), T("Verkauf"), V(""),
               V("0761 / 4711"), V(""), V(""), V(""), V(""), N, V(""), V("N"), V("")});
    ap.Write(folder);
    note("Ansprech.db", ap.RecordCount());

    TParadoxWriter grp("Gruppen.DB");
    grp.AddField("Kurzbez", PxFieldType::Alpha, 25)
        .AddField("Bezeichnung", PxFieldType::Alpha, 60)
        .SetKeyFields(1);
    grp.Append({T("Presse"), T("Presse und Medien")});
    grp.Append({T("Stammkunden"), T("Kunden seit mehr als fünf Jahren")});
    grp.Append({T("VIP"), T("Besonders wichtige Kunden")});
    grp.Write(folder);
    note("Gruppen.DB", grp.RecordCount());

    TParadoxWriter gz("GrZuord.DB");
    gz.AddField("Nr", PxFieldType::Alpha, 8)
        .AddField("Gruppe", PxFieldType::Alpha, 25)
        .AddField("Zuordnungsdatum", PxFieldType::Date)
        .SetKeyFields(2);
    gz.Append({V("17"), V("Bau"), V::FromDateTime(EncodeDate(2005, 3, 1))}); // already in its group list
    gz.Append({V("20"), V("Newsletter"), N});                                // without a date
    gz.Append({V("99999"), V("Newsletter"), N});                             // no such customer
    for (int i = 0; i < customers / 2; ++i)
        gz.Append({V(std::to_string(1000 + 2 * i)), T(g.Pick(kGroups)),
                   V::FromDateTime(EncodeDate(g.Int(2000, 2007), g.Int(1, 12), g.Int(1, 28)))});
    gz.Write(folder);
    note("GrZuord.DB", gz.RecordCount());

    TParadoxWriter kon("Kontakte.db");
    kon.AddField("Art", PxFieldType::Alpha, 1)
        .AddField("Nr", PxFieldType::Alpha, 8)
        .AddField("ID", PxFieldType::Long)
        .AddField("Name", PxFieldType::Alpha, 60)
        .AddField("Datum", PxFieldType::Date)
        .AddField("Zeit", PxFieldType::Time)
        .AddField("KontaktArt", PxFieldType::Alpha, 20)
        .AddField("Prioritaet", PxFieldType::Short)
        .AddField("Erledigt", PxFieldType::Alpha, 1)
        .AddField("Mitarbeiter", PxFieldType::Alpha, 3)
        .AddField("Bemerkung", PxFieldType::Memo, 20)
        .SetKeyFields(3);
    int id = 0;
    auto contact = [&](const std::string& art, const std::string& nr, const std::string& name) {
        kon.Append({V(art), T(nr), V(++id), T(name),
                    V::FromDateTime(EncodeDate(g.Int(2003, 2007), g.Int(1, 12), g.Int(1, 28))),
                    V::FromDateTime(EncodeTime(g.Int(8, 17), g.Int(0, 3) * 15, 0, 0)),
                    V(g.Pick(kContactKinds)), V(g.Int(1, 3)), V(g.Chance(70) ? "J" : "N"), V("ADM"), V("")});
    };
    contact("K", "a17", "Rückruf wegen Angebot"); // the number in other letter case
    contact("K", "4711", "Anfrage eines Unbekannten");
    contact("K", "", "Messegespräch ohne Adresse");
    contact("L", "500", "Lieferung besprochen");
    contact("X", "17", "Alte Kontaktart");
    for (int i = 0; i < customers * 3; ++i)
        contact("K", customerNrs[static_cast<size_t>(g.Int(0, static_cast<int>(customerNrs.size()) - 1))],
                std::string(g.Pick(kContactKinds)) + " " + std::to_string(i));
    kon.Write(folder);
    note("Kontakte.db", kon.RecordCount());

    TParadoxWriter kl("Kunlief.db");
    kl.AddField("Kundennr", PxFieldType::Alpha, 8)
        .AddField("NrZweitAdresse", PxFieldType::Alpha, 8)
        .SetKeyFields(2);
    kl.Append({V("17"), V("20")});
    kl.Append({V("17"), V("A17")});
    kl.Append({V("20"), V("99999")}); // no such delivery address
    for (int i = 0; i < customers / 10; ++i)
        kl.Append({V(std::to_string(1000 + i)), V(std::to_string(1000 + customers - 1 - i))});
    kl.Write(folder);
    note("Kunlief.db", kl.RecordCount());

    // The mail office's incoming mail table, so that the folder is recognised; its rows come later.
    TParadoxWriter mail("MailEingang.DB");
    mail.AddField("ID", PxFieldType::Long).AddField("Betreff", PxFieldType::Alpha, 100).SetKeyFields(1);
    mail.Write(inst.MailFolder.string());
    note("MailEingang.DB", 0);
    return inst;
}

} // namespace zbpv
