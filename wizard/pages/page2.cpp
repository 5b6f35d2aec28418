#include "wizard/mainwindow.h"

#include "engine/core/errors.h"
#include "wizard/controls.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLineEdit>
#include <QProxyStyle>
#include <QRadioButton>

// Page 2, the MySQL connection: access mode, database and account, host, port.

namespace tavrex {

using namespace controls;

namespace {

// The password boxes show one "*" per character, whatever the platform's
// style would draw.
class StarPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

void Taaform1::buildPage2(QWidget *sheet)
{
    label(sheet, "Label11", 12, 8, 390, 28, true);

    accessmode = named(new QGroupBox(sheet), "accessmode");
    accessmode->setGeometry(12, 40, 390, 46);
    accessmodeItems_ = new QButtonGroup(this);
    auto *local = new QRadioButton(QStringLiteral("&Local"), accessmode);
    local->setGeometry(12, 19, 150, 20);
    auto *remote = new QRadioButton(QStringLiteral("&Romote"), accessmode);
    remote->setGeometry(200, 19, 150, 20);
    accessmodeItems_->addButton(local, 0);
    accessmodeItems_->addButton(remote, 1);
    local->setChecked(true);

    auto *authorization = named(new QGroupBox(sheet), "authorization");
    authorization->setGeometry(12, 92, 390, 100);
    label(authorization, "Label15", 12, 22, 105, 13);
    edtdatabase = edit(authorization, "edtdatabase", 120, 18, 255);
    label(authorization, "Label12", 12, 48, 105, 13);
    edtname = edit(authorization, "edtname", 120, 44, 255);
    label(authorization, "Label13", 12, 74, 105, 13);
    edtpassword = edit(authorization, "edtpassword", 120, 70, 255);
    edtpassword->setEchoMode(QLineEdit::Password);
    auto *stars = new StarPasswordStyle;
    stars->setParent(this);
    edtpassword->setStyle(stars);

    auto *remoteBox = named(new QGroupBox(sheet), "GroupBox2");
    remoteBox->setGeometry(12, 198, 390, 72);
    label(remoteBox, "Label14", 12, 22, 105, 13);
    edthost = edit(remoteBox, "edthost", 120, 18, 255);
    label(remoteBox, "Label16", 120, 44, 255, 13);

    auto *portBox = named(new QGroupBox(sheet), "GroupBox1");
    portBox->setGeometry(12, 276, 390, 72);
    label(portBox, "edtport111", 12, 22, 105, 13);
    edtport = edit(portBox, "edtport", 120, 18, 80);
    edtport->setText(QStringLiteral("3306"));
    label(portBox, "Label17", 120, 44, 255, 13);

    connect(accessmodeItems_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            accessmodeClick();
    });
    accessmodeClick();
}

void Taaform1::accessmodeClick()
{
    const int item = accessmodeItems_->checkedId();
    if (item < 0)
        return;
    const bool remote = item == 1;
    edthost->setEnabled(remote);
    const QColor colour = QApplication::palette().color(remote ? QPalette::Base : QPalette::Button);
    QPalette p = edthost->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(group, QPalette::Base, colour);
    edthost->setPalette(p);
    edtport->setEnabled(true);
}

void Taaform1::page2Values(ControlValues &v) const
{
    v.accessmode = accessmodeItems_->checkedId();
    v.edtdatabase = edtdatabase->text();
    v.edtname = edtname->text();
    v.edtpassword = edtpassword->text();
    v.edthost = edthost->text();
    v.edtport = edtport->text();
}

void Taaform1::setPage2Values(const ControlValues &v)
{
    chooseItem(accessmodeItems_, v.accessmode);
    edtdatabase->setText(v.edtdatabase);
    edtname->setText(v.edtname);
    edtpassword->setText(v.edtpassword);
    edthost->setText(v.edthost);
    edtport->setText(v.edtport);
}

void Taaform1::step2Click()
{
    const TConversionSettings settings = currentSettings();
    ListChoice databases = databaseList();
    try {
        whileConnecting([&] { tavrex::step2Click(db_, settings, databases, *prompts_, applicationTitle()); });
    } catch (const BlankDatabaseName &) {
        edtdatabase->setFocus();
        // The message box has been shown; a replay cannot go on from here.
        recordReplayFailure(QStringLiteral("请输入数据库名称"));
        throw;
    }
    reflectDatabaseList(databases);
}

} // namespace tavrex
