#include "wizard/mainwindow.h"

#include "wizard/controls.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>

#include <algorithm>

// Page 4, the conversion: the database, the existing-table policy, the
// check-box options and the character set.

namespace tavrex {

using namespace controls;

namespace {

// The page's height and the top of the options under the policy box.
constexpr int kPageHeight = 372;
constexpr int kOptionsTop = 146;

} // namespace

int optionRowPitch(int options, int height)
{
    // Below the options: 6 pixels, the character set's caption (16) and box (22).
    constexpr int kCharsetBlock = 44;
    if (options <= 0)
        return kOptionRowPitch;
    return std::clamp((height - kCharsetBlock) / options, kOptionRowMinimum, kOptionRowPitch);
}

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
    // in a spin box after its label); the character set follows them. They
    // share a column from the top of the options to the foot of the page: a
    // later option draws the rows closer (optionRowPitch), and past that the
    // column scrolls.
    auto *area = named(new QScrollArea(sheet), "optionsarea");
    area->setGeometry(200, kOptionsTop, 215, kPageHeight - kOptionsTop);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setBackgroundRole(QPalette::Window);
    auto *column = named(new QWidget, "optionscolumn");
    const int pitch = optionRowPitch(kCheckOptionCount, area->height());
    for (int i = 0; i < kCheckOptionCount; ++i) {
        const CheckOption &option = kCheckOptions[i];
        if (isNumberOption(option)) {
            label(column, (QByteArrayLiteral("lbl") + option.control).constData(), 4, pitch * i + 3, 130, 13);
            optionSpins_[i] = named(new QSpinBox(column), option.control);
            optionSpins_[i]->setGeometry(140, pitch * i, 60, 20);
            optionSpins_[i]->setRange(option.minimum, option.maximum);
            optionSpins_[i]->setValue(numberDefault(option));
            continue;
        }
        optionBoxes_[i] = named(new QCheckBox(column), option.control);
        optionBoxes_[i]->setGeometry(4, pitch * i, 205, 20);
        optionBoxes_[i]->setChecked(optionDefault(option));
    }
    const int charsetTop = pitch * kCheckOptionCount + 6;
    label(column, "Label33", 4, charsetTop, 198, 13);
    cbcharset = named(new QComboBox(column), "cbcharset");
    cbcharset->setGeometry(4, charsetTop + 16, 198, 22);
    column->resize(area->width() - 2, charsetTop + 16 + 22 + 2);
    area->setWidget(column);
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
    const ListChoice databases = databaseList();
    whileConnecting([&] { tavrex::step4Click(db_, databases, listed); });
    lists_.appendAvailable(listed);
    reflectTableLists();
    if (availabletables->count() > 0)
        availabletables->setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

} // namespace tavrex
