#include "wizard/mainwindow.h"

#include "wizard/controls.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>

// Page 4, the conversion: the database, the existing-table policy, the
// check-box options and the character set.

namespace tavrex {

using namespace controls;

void Taaform1::buildPage4(QWidget *sheet)
{
    label(sheet, "Label24", 12, 8, 390, 28, true);
    label(sheet, "Label25", 12, 44, 180, 13);
    mysqldblist = list(sheet, "mysqldblist", QRect(12, 60, 180, 292), QAbstractItemView::SingleSelection);

    processtable = named(new QGroupBox(sheet), "processtable");
    processtable->setGeometry(204, 44, 198, 92);
    processtableItems_ = new QButtonGroup(this);
    const QString policies[] = {QStringLiteral("Overwrite"), QStringLiteral("Merge"), QStringLiteral("Skip")};
    for (int i = 0; i < 3; ++i) {
        auto *item = new QRadioButton(policies[i], processtable);
        item->setGeometry(12, 19 + 22 * i, 170, 20);
        processtableItems_->addButton(item, i);
    }
    processtableItems_->button(0)->setChecked(true);

    // The options one below the other, each showing its default (a number
    // in a spin box after its label); the character set follows them.
    for (int i = 0; i < kCheckOptionCount; ++i) {
        const CheckOption &option = kCheckOptions[i];
        const int top = 146 + 22 * i;
        if (isNumberOption(option)) {
            label(sheet, (QByteArrayLiteral("lbl") + option.control).constData(), 204, top + 3, 130, 13);
            optionSpins_[i] = named(new QSpinBox(sheet), option.control);
            optionSpins_[i]->setGeometry(340, top, 60, 20);
            optionSpins_[i]->setRange(option.minimum, option.maximum);
            optionSpins_[i]->setValue(numberDefault(option));
            continue;
        }
        optionBoxes_[i] = named(new QCheckBox(sheet), option.control);
        optionBoxes_[i]->setGeometry(204, top, 205, 20);
        optionBoxes_[i]->setChecked(optionDefault(option));
    }
    const int charsetTop = 146 + 22 * kCheckOptionCount + 6;
    label(sheet, "Label33", 204, charsetTop, 198, 13);
    cbcharset = named(new QComboBox(sheet), "cbcharset");
    cbcharset->setGeometry(204, charsetTop + 16, 198, 22);
    cbcharset->setEditable(true);
    cbcharset->setInsertPolicy(QComboBox::NoInsert);
    cbcharset->addItems(serverCharSetEntries());
    cbcharset->setMaxVisibleItems(6);
    cbcharset->setCurrentIndex(0);
}

ListChoice Taaform1::databaseList() const
{
    ListChoice choice;
    for (int i = 0; i < mysqldblist->count(); ++i)
        choice.items.append(mysqldblist->item(i)->text());
    const QList<QListWidgetItem *> chosen = mysqldblist->selectedItems();
    choice.chosen = chosen.isEmpty() ? -1 : mysqldblist->row(chosen.first());
    return choice;
}

void Taaform1::reflectDatabaseList(const ListChoice &choice)
{
    mysqldblist->clear();
    mysqldblist->addItems(choice.items);
    if (choice.chosen >= 0 && choice.chosen < mysqldblist->count())
        mysqldblist->setCurrentRow(choice.chosen);
}

void Taaform1::page4Values(ControlValues &v) const
{
    v.cbcharsetIndex = cbcharset->currentIndex();
    v.cbcharsetText = cbcharset->currentText();
    v.processtable = processtableItems_->checkedId();
    for (int i = 0; i < kCheckOptionCount; ++i) {
        if (optionSpins_[i])
            v.options.*kCheckOptions[i].number = optionSpins_[i]->value();
        else
            v.options.*kCheckOptions[i].setting = optionBoxes_[i]->isChecked();
    }
}

void Taaform1::setPage4Values(const ControlValues &v)
{
    cbcharset->setCurrentIndex(v.cbcharsetIndex >= 0 && v.cbcharsetIndex < cbcharset->count() ? v.cbcharsetIndex : -1);
    // A replay may set a text that is no entry of the list; the choice stays.
    if (cbcharset->currentText() != v.cbcharsetText)
        cbcharset->setEditText(v.cbcharsetText);
    chooseItem(processtableItems_, v.processtable);
    for (int i = 0; i < kCheckOptionCount; ++i) {
        if (optionSpins_[i])
            optionSpins_[i]->setValue(v.options.*kCheckOptions[i].number);
        else
            optionBoxes_[i]->setChecked(v.options.*kCheckOptions[i].setting);
    }
}

QString Taaform1::processtableCaption() const
{
    const QAbstractButton *chosen = processtableItems_->checkedButton();
    return chosen ? chosen->text() : QString();
}

void Taaform1::step4Click()
{
    QStringList listed;
    tavrex::step4Click(db_, databaseList(), listed);
    lists_.appendAvailable(listed);
    reflectTableLists();
    if (availabletables->count() > 0)
        availabletables->setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

} // namespace tavrex
