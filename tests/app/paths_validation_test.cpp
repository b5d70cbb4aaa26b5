#include "app/paths_validation.h"

#include "fixture.h"

namespace zbpv {
namespace {

class PathsValidationTest : public test::PrefixFixture {
protected:
    void SetUp() override {
        PrefixFixture::SetUp();
        data_ = WriteC("alt/daten/KUNDEN.db", "").parent_path().string();
        mail_ = WriteC("alt/mail/maileingang.DB", "").parent_path().string();
        forms_ = WriteC("alt/forms/RECHNUNG.lsv", "").parent_path().string();
        empty_ = MakeDirC("alt/leer").string();
    }
    WizardBoxes Valid() const {
        WizardBoxes b;
        b[WizardBox::DataPath].text = data_;
        b[WizardBox::MailDataPath].text = mail_;
        b[WizardBox::FormPath].text = forms_;
        b[WizardBox::DBServer].text = "fbserver";
        b[WizardBox::DBName].text = "/srv/vb8.fdb";
        return b;
    }
    std::optional<ValidationFailure> Validate(int selection, WizardBoxes& b) const {
        return ValidatePathsPage(selection, b, {8, 1, 0, 0}, {3, 0, 0, 0}, *platform_);
    }

    std::string data_, mail_, forms_, empty_;
};

TEST_F(PathsValidationTest, EveryMessageOfTheThreeSelections) {
    struct Case {
        int selection;
        WizardBox box;
        std::string text;
        WizardBox focus;
        std::string message;
    };
    const std::string none = root_.string() + "/fehlt";
    const std::string zb = "Zarvo-Billora 7.0", pv = "Velkaro Postiverso 2.0", both = zb + "/" + pv;
    std::vector<Case> cases;
    for (auto [sel, product] : {std::pair{1, zb}, std::pair{16, pv}, std::pair{17, both}}) {
        cases.push_back({sel, WizardBox::DataPath, none, WizardBox::DataPath,
                         "Das Datenverzeichnis von " + product + " ist nicht vorhanden: \"" + none + "\"."});
        cases.push_back({sel, WizardBox::DataPath, "", WizardBox::DataPath,
                         "Das Datenverzeichnis von " + product + " ist nicht vorhanden: \"\"."});
        cases.push_back({sel, WizardBox::DataPath, empty_ + "\\", WizardBox::DataPath,
                         "\"" + empty_ + "\" ist kein gültiges Datenverzeichnis von " + product + "."});
        cases.push_back(
            {sel, WizardBox::FormPath, none, WizardBox::FormPath,
             "Das Formularverzeichnis von " + product + " ist nicht vorhanden: \"" + none + "\"."});
        cases.push_back({sel, WizardBox::FormPath, " " + data_ + " ", WizardBox::FormPath,
                         "\"" + data_ + "\" ist kein gültiges Formularverzeichnis von " + product + "."});
    }
    for (int sel : {16, 17}) {
        cases.push_back(
            {sel, WizardBox::MailDataPath, none, WizardBox::MailDataPath,
             "Das Maildatenverzeichnis von Velkaro Postiverso 2.0 ist nicht vorhanden: \"" + none + "\"."});
        cases.push_back(
            {sel, WizardBox::MailDataPath, data_, WizardBox::MailDataPath,
             "\"" + data_ + "\" ist kein gültiges Maildatenverzeichnis von Velkaro Postiverso 2.0."});
        cases.push_back(
            {sel, WizardBox::UserPath, none + "\\", WizardBox::UserPath,
             "Das Benutzerverzeichnis von Velkaro Postiverso 2.0 ist nicht vorhanden: \"" + none + "\"."});
    }
    cases.push_back({1, WizardBox::DBName, "", WizardBox::DBName,
                     "Der Datenbankname von Velkaro Billora 8.1 ist nicht vorhanden."});
    cases.push_back({16, WizardBox::DBName, "", WizardBox::DBName,
                     "Der Datenbankname von Velkaro Postiverso 3.0 ist nicht vorhanden."});
    cases.push_back({17, WizardBox::DBName, "", WizardBox::DBName,
                     "Der Datenbankname von Velkaro Billora 8.1/Postiverso 3.0 ist nicht vorhanden."});
    for (const Case& c : cases) {
        WizardBoxes b = Valid();
        b[c.box].text = c.text;
        auto failure = Validate(c.selection, b);
        ASSERT_TRUE(failure) << c.selection << " " << BoxObjectName(c.box) << " '" << c.text << "'";
        EXPECT_EQ(failure->message, c.message);
        EXPECT_EQ(failure->focus, c.focus) << c.message;
    }
}

TEST_F(PathsValidationTest, AcceptsAndNormalises) {
    WizardBoxes b = Valid();
    b[WizardBox::DataPath].text = "  " + data_ + "\\ ";
    b[WizardBox::MailDataPath].text = "/nirgends"; // not checked for invoicing only
    b[WizardBox::FormPath].text = "";              // empty form and user paths are not checked
    b[WizardBox::DBServer].text = "";
    b[WizardBox::DBName].text = "LocalHost:/srv/vb8.fdb";
    EXPECT_FALSE(Validate(1, b));
    EXPECT_EQ(b[WizardBox::DataPath].text, data_);
    EXPECT_EQ(b[WizardBox::DBServer].text, "localhost");
    EXPECT_EQ(b[WizardBox::DBName].text, "/srv/vb8.fdb");

    b = Valid();
    b[WizardBox::DBName].text = "otherhost:/srv/vb8.fdb";
    b[WizardBox::UserPath].text = "";
    EXPECT_FALSE(Validate(17, b));
    EXPECT_EQ(b[WizardBox::DBName].text, "otherhost:/srv/vb8.fdb") << "only the server's own prefix goes";
}

TEST_F(PathsValidationTest, WindowsPathsAreCheckedInThePrefix) {
    WizardBoxes b = Valid();
    b[WizardBox::DataPath].text = "C:\\ALT\\Daten\\";
    EXPECT_FALSE(Validate(1, b));
    EXPECT_EQ(b[WizardBox::DataPath].text, "C:\\ALT\\Daten");
}

} // namespace
} // namespace zbpv
