#include "wizard/mainwindow.h"

#include "wizard/controls.h"

#include <QLabel>
#include <QLineEdit>

// Page 3, the Oracle connection: service, user and password.

namespace tavrex {

using namespace controls;

void Taaform1::buildPage3(QWidget *sheet)
{
    label(sheet, "Label18", 12, 8, 390, 28, true);
    label(sheet, "Label19", 12, 44, 390, 28, true);
    label(sheet, "Label20", 12, 80, 390, 16);
    QLabel *service = label(sheet, "Label21", 24, 124, 100, 13);
    edtservice = edit(sheet, "edtservice", 130, 120, 250);
    // One line under the service box: what it takes.
    QLabel *hint = label(sheet, "lblservicehint", 130, 141, 275, 11);
    QFont small = hint->font();
    small.setPointSizeF(small.pointSizeF() - 1);
    hint->setFont(small);
    hint->setForegroundRole(QPalette::PlaceholderText);
    QLabel *user = label(sheet, "Label22", 24, 156, 100, 13);
    edtoracleusername = edit(sheet, "edtoracleusername", 130, 152, 250);
    QLabel *password = label(sheet, "Label23", 24, 188, 100, 13);
    edtoraclepassword = edit(sheet, "edtoraclepassword", 130, 184, 250);
    edtoraclepassword->setEchoMode(QLineEdit::Password);
    edtoraclepassword->setStyle(edtpassword->style());
    // The English captions carry accelerators ("&Service:") for these boxes.
    service->setBuddy(edtservice);
    user->setBuddy(edtoracleusername);
    password->setBuddy(edtoraclepassword);
}

void Taaform1::page3Values(ControlValues &v) const
{
    v.edtservice = edtservice->text();
    v.edtoracleusername = edtoracleusername->text();
    v.edtoraclepassword = edtoraclepassword->text();
}

void Taaform1::setPage3Values(const ControlValues &v)
{
    edtservice->setText(v.edtservice);
    edtoracleusername->setText(v.edtoracleusername);
    edtoraclepassword->setText(v.edtoraclepassword);
}

void Taaform1::step3Click()
{
    const TConversionSettings settings = currentSettings();
    whileConnecting([&] { tavrex::step3Click(db_, settings); });
}

} // namespace tavrex
