#include "app/counter_rows.h"

namespace zbpv {

namespace {

constexpr CounterRow kRows[] = {
    {"Kunden", "panKun", "panKunAnz", "lblKunPass", 0},
    {"Gruppen", "panGrp", "", "", 0},
    {"Gr.-Zuordnungen", "panGrZuord", "", "lblGrZuordPass", 0},
    {"Ansprechpartner", "panAP", "panAPAnz", "", 0},
    {"Lieferanten", "panLfr", "panLfrAnz", "", 0},
    {"Mitarbeiter", "panMab", "panMabAnz", "", 0},
    {"Kontakte", "panKon", "panKonAnz", "", 0},
    {"Artikel", "panArt", "panArtAnz", "lblArtPass", 0},
    {"Artikelgruppen", "panArtgrp", "panArtGrpAnz", "", 0},
    {"Artikelpreise", "panArtPreis", "panArtPreisAnz", "", 0},
    {"Stückliste", "panArtstlst", "panArtstlstAnz", "", 0},
    {"Aufträge", "panAtr", "panAtrAnz", "lblAtrPass", 0},
    {"Auftragspositionen", "panAtrpos", "panAtrposAnz", "", 0},
    {"Offene Posten Kd.", "panOPAtr", "panOPAtrAnz", "", 0},
    {"Bestellungen", "panBst", "panBstAnz", "lblBstPass", 0},
    {"Bestellpositionen", "panBstpos", "panBstposAnz", "", 0},
    {"Offene Posten Lfr.", "panOPBst", "panOPBstAnz", "", 0},
    {"Lieferadressen", "panKunLief", "panKunliefAnz", "", 0},
    {"Mahnparameter", "panMahnpar", "panMahnparAnz", "", 1},
    {"Zahlungen Kunden", "panKunZahl", "panKunZahlAnz", "", 1},
    {"Zahlungen Lieferanten", "panLfrZahl", "panLfrZahlAnz", "", 1},
    {"Fibu", "panFibu", "panFibuAnz", "", 1},
    {"Fibu-Archiv", "panFibuArchiv", "panFibuArchivAnz", "", 1},
    {"Steuersätze", "panStSatz", "panStSatzAnz", "", 1},
    {"Druckformulare", "panFormulare", "panFormulareAnz", "", 1},
    {"Einstellungen", "panSetup", "panSetupAnz", "", 1},
    {"PV-Benutzer", "panUser", "panUserTotal", "", 1},
    {"PV-Benutzerrechte", "panUserRights", "", "", 1},
    {"Mailordner", "panMailFolder", "", "", 1},
    {"Mailkonten", "panAccounts", "panAccountsTotal", "", 1},
    {"Mailregeln", "panMailRules", "panMailRulesTotal", "", 1},
    {"Aufgaben", "panTask", "panTaskTotal", "", 1},
    {"E-Mails", "panEMails", "panEMailsTotal", "lblEMail2ndRun", 1},
    {"Textbausteine", "panBoilerplates", "panBoilerplatesTotal", "", 1},
    {"Briefanrede", "panSalut", "panSalutTotal", "", 1},
};

} // namespace

std::span<const CounterRow> CounterRows() {
    return kRows;
}

const CounterRow* FindCounterRow(std::string_view panel) {
    for (const CounterRow& row : kRows) {
        if (panel == row.panel || (*row.total && panel == row.total)) {
            return &row;
        }
    }
    return nullptr;
}

} // namespace zbpv
