#include "gui/message_boxes.h"

#include "support/ansi.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace zbpv {

QtUserPrompts::QtUserPrompts(QWidget* parent) : parent_(parent) {}

namespace {

QString Escaped(const QString& text) {
    return text.toHtmlEscaped().replace("\r\n", "<br>").replace("\n", "<br>");
}

QMessageBox::Icon IconOf(PromptIcon icon) {
    switch (icon) {
    case PromptIcon::Information:
        return QMessageBox::Information;
    case PromptIcon::Warning:
        return QMessageBox::Warning;
    case PromptIcon::Error:
        return QMessageBox::Critical;
    case PromptIcon::Question:
        return QMessageBox::Question;
    case PromptIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QMessageBox* CreateMessageBox(QWidget* parent, const Prompt& prompt) {
    auto* box = new QMessageBox(parent);
    box->setObjectName("MessageBox");
    box->setWindowTitle(QApplication::applicationDisplayName().isEmpty()
                            ? QApplication::applicationName()
                            : QApplication::applicationDisplayName());
    box->setIcon(IconOf(prompt.icon));
    QString text = QString::fromStdString(prompt.text);
    if (prompt.boldHeadline) {
        // The first paragraph (up to an empty line, else the first line) is the headline.
        QString normal = QString(text).replace("\r\n", "\n");
        qsizetype split = normal.indexOf("\n\n");
        qsizetype skip = 2;
        if (split < 0) {
            split = normal.indexOf('\n');
            skip = 1;
        }
        QString head = split < 0 ? normal : normal.left(split);
        QString rest = split < 0 ? QString() : normal.mid(split + skip);
        box->setTextFormat(Qt::RichText);
        box->setText("<b>" + Escaped(head) + "</b>" +
                     (rest.isEmpty() ? QString() : "<br><br>" + Escaped(rest)));
    } else {
        box->setTextFormat(Qt::PlainText);
        box->setText(QString(text).replace("\r\n", "\n"));
    }
    auto add = [&](const char* caption, QMessageBox::ButtonRole role, PromptAnswer answer) {
        QPushButton* b = box->addButton(QString::fromUtf8(caption), role);
        b->setProperty("zbpvAnswer", static_cast<int>(answer));
        b->setObjectName(QString("btn") + QString::fromUtf8(caption).remove('&'));
        if (answer == prompt.defaultAnswer) {
            box->setDefaultButton(b);
        }
        return b;
    };
    switch (prompt.buttons) {
    case PromptButtons::Ok:
        box->setEscapeButton(add("OK", QMessageBox::AcceptRole, PromptAnswer::Ok));
        break;
    case PromptButtons::YesNo:
        add("&Ja", QMessageBox::YesRole, PromptAnswer::Yes);
        box->setEscapeButton(add("&Nein", QMessageBox::NoRole, PromptAnswer::No));
        break;
    case PromptButtons::YesNoCancel:
        add("&Ja", QMessageBox::YesRole, PromptAnswer::Yes);
        add("&Nein", QMessageBox::NoRole, PromptAnswer::No);
        box->setEscapeButton(add("Abbrechen", QMessageBox::RejectRole, PromptAnswer::Cancel));
        break;
    }
    return box;
}

PromptAnswer QtUserPrompts::Ask(const Prompt& prompt) {
    QMessageBox* box = CreateMessageBox(parent_ ? parent_->window() : nullptr, prompt);
    box->exec();
    PromptAnswer answer = prompt.buttons == PromptButtons::Ok      ? PromptAnswer::Ok
                          : prompt.buttons == PromptButtons::YesNo ? PromptAnswer::No
                                                                   : PromptAnswer::Cancel;
    if (QAbstractButton* clicked = box->clickedButton()) {
        answer = static_cast<PromptAnswer>(clicked->property("zbpvAnswer").toInt());
    }
    delete box;
    return answer;
}

} // namespace zbpv
