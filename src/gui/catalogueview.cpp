#include "catalogueview.h"

#include "database.h"
#include "databaseitem.h"
#include "expressionitem.h"
#include "namelistdelegate.h"
#include "transaction.h"

#include <QCollator>
#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPixmap>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QSpacerItem>
#include <QTreeWidget>

#include <algorithm>

namespace
{
const int TREE_COLUMN_COUNT = 5;
} // namespace

TCatalogueView::TCatalogueView(QWidget *parent) : QWidget(parent), d_database(nullptr)
{
  QFont notice_font(QStringLiteral("Verdana"), 8);
  notice_font.setItalic(true);

  QGridLayout *grid = new QGridLayout(this);

  auto new_line = [this](QFrame::Shape shape)
  {
    QFrame *line = new QFrame(this);
    line->setFrameShape(shape);
    line->setFrameShadow(QFrame::Sunken);
    return line;
  };
  auto new_list = [this](const char *name)
  {
    QListWidget *list = new QListWidget(this);
    list->setObjectName(QString::fromLatin1(name));
    list->setSortingEnabled(true);
    // One size for every item, the widest name's: thousands of models lay out at once.
    list->setUniformItemSizes(true);
    list->setItemDelegate(new TNameListDelegate(list));
    list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return list;
  };

  d_make_list = new_list("make_list");
  d_make_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  d_model_list = new_list("model_list");
  d_option_list = new_list("option_list");

  d_specification_tree = new QTreeWidget(this);
  d_specification_tree->setObjectName(QStringLiteral("specification_tree"));
  d_specification_tree->setColumnCount(TREE_COLUMN_COUNT);
  const QStringList headings = {QStringLiteral("Standard"), QStringLiteral("Component"),
                                QStringLiteral("Expression"), QStringLiteral("Source"),
                                QStringLiteral("Description")};
  for (int column = 0; column < headings.size(); ++column)
  {
    d_specification_tree->headerItem()->setData(column, Qt::DisplayRole, headings.at(column));
  }

  grid->addWidget(new QLabel(QStringLiteral("Make:"), this), 0, 0);
  grid->addWidget(d_make_list, 1, 0);
  grid->addWidget(new_line(QFrame::VLine), 0, 1, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("Model:"), this), 0, 2);
  grid->addWidget(d_model_list, 1, 2);
  grid->addWidget(new_line(QFrame::VLine), 0, 3, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("Option:"), this), 0, 4);
  grid->addWidget(d_option_list, 1, 4);
  grid->addWidget(new_line(QFrame::HLine), 2, 0, 1, 5);
  grid->addWidget(new QLabel(QStringLiteral("Specifications:"), this), 3, 0, 1, 5);
  grid->addWidget(d_specification_tree, 4, 0, 1, 5);

  QLabel *notice_label = new QLabel(
      QStringLiteral("Metrova: accuracy specifications of coordinate measuring machines"), this);
  notice_label->setFont(notice_font);
  notice_label->setAlignment(Qt::AlignLeft | Qt::AlignBottom);

  QLabel *logo_label = new QLabel(this);
  logo_label->setMinimumSize(100, 40);
  logo_label->setMaximumSize(100, 40);
  logo_label->setPixmap(QPixmap(QStringLiteral(":/images/logo.png")));

  QHBoxLayout *bottom_layout = new QHBoxLayout;
  bottom_layout->addWidget(notice_label);
  bottom_layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
  bottom_layout->addWidget(logo_label);
  grid->addLayout(bottom_layout, 5, 0, 1, 5);

  connect(d_make_list, &QListWidget::itemSelectionChanged, this,
          &TCatalogueView::Make_Selection_Changed);
  connect(d_model_list, &QListWidget::itemSelectionChanged, this,
          &TCatalogueView::Model_Selection_Changed);
  connect(d_option_list, &QListWidget::itemSelectionChanged, this,
          &TCatalogueView::Option_Selection_Changed);
}

QListWidget *TCatalogueView::List(int level) const
{
  QListWidget *const lists[] = {d_make_list, d_model_list, d_option_list};
  return lists[level];
}

void TCatalogueView::Clear()
{
  d_make_list->clear();
  d_model_list->clear();
  d_option_list->clear();
  d_specification_tree->clear();
}

void TCatalogueView::Show_Makes()
{
  Clear();
  if (!d_database || !d_database->Is_Open())
  {
    return;
  }
  bool valid = false;
  const QStringList makes = d_database->Makes(&valid);
  if (valid)
  {
    Add_Names(d_make_list, makes);
  }
}

void TCatalogueView::Show_Machine(const QString &make, const QString &model, const QString &option)
{
  bool valid = false;
  Replace_Names(d_make_list, d_database->Makes(&valid));
  Replace_Names(d_model_list, make.isEmpty() ? QStringList() : d_database->Models(make, &valid));
  Replace_Names(d_option_list, make.isEmpty() || model.isEmpty()
                                   ? QStringList()
                                   : d_database->Options(make, model, &valid));
  d_specification_tree->clear();
  Select_Machine(make, model, option);
  emit Selection_Changed();
}

void TCatalogueView::Show_Level(int level, const QStringList &names)
{
  // The lists were refilled with their signals blocked: nothing below the level is selected any
  // more.
  for (int below = level; below <= LEVEL_OPTION; ++below)
  {
    Replace_Names(List(below), below == level ? names : QStringList());
  }
  d_specification_tree->clear();
  emit Selection_Changed();
}

void TCatalogueView::Set_Browsing_Enabled(bool enabled)
{
  for (QWidget *widget :
       {static_cast<QWidget *>(d_make_list), static_cast<QWidget *>(d_model_list),
        static_cast<QWidget *>(d_option_list), static_cast<QWidget *>(d_specification_tree)})
  {
    widget->setEnabled(enabled);
  }
}

QStringList TCatalogueView::Selected_Machine() const
{
  return {Current_Selected_Text(d_make_list), Current_Selected_Text(d_model_list),
          Current_Selected_Text(d_option_list)};
}

QStringList TCatalogueView::Selected_Names(int level) const
{
  return Texts(List(level)->selectedItems());
}

void TCatalogueView::Make_Selection_Changed()
{
  // Whoever follows the selection sees it as it is when the slot ends.
  const auto changed = qScopeGuard([this] { emit Selection_Changed(); });
  const QList<QListWidgetItem *> makes = d_make_list->selectedItems();
  if (makes.size() != 1 || !d_database)
  {
    d_model_list->clear();
    d_option_list->clear();
    d_specification_tree->clear();
    return;
  }
  // Clearing the model list clears the options before the model can be found again, so the
  // option to reselect is remembered here as well.
  const QString model = Current_Text(d_model_list);
  const QString option = Current_Text(d_option_list);
  d_model_list->clear();

  bool valid = false;
  const QStringList models =
      d_database->Models(makes.first()->data(Qt::DisplayRole).toString(), &valid);
  if (valid)
  {
    Add_Names(d_model_list, models);
  }
  if (!model.isEmpty())
  {
    Make_First_Match_Current(d_model_list, model);
    if (!option.isEmpty() && d_model_list->selectedItems().size() == 1 &&
        !d_option_list->currentItem())
    {
      Make_First_Match_Current(d_option_list, option);
    }
  }
}

void TCatalogueView::Model_Selection_Changed()
{
  const auto changed = qScopeGuard([this] { emit Selection_Changed(); });
  const QList<QListWidgetItem *> makes = d_make_list->selectedItems();
  if (makes.size() != 1 || !d_database)
  {
    return;
  }
  const QString make = makes.first()->data(Qt::DisplayRole).toString();

  const QList<QListWidgetItem *> models = d_model_list->selectedItems();
  if (models.size() != 1)
  {
    d_option_list->clear();
    d_specification_tree->clear();
    return;
  }
  const QString option = Current_Text(d_option_list);
  d_option_list->clear();

  bool valid = false;
  const QStringList options =
      d_database->Options(make, models.first()->data(Qt::DisplayRole).toString(), &valid);
  if (valid)
  {
    Add_Names(d_option_list, options);
  }
  if (!option.isEmpty())
  {
    Make_First_Match_Current(d_option_list, option);
  }
}

void TCatalogueView::Option_Selection_Changed()
{
  const auto changed = qScopeGuard([this] { emit Selection_Changed(); });
  const QList<QListWidgetItem *> makes = d_make_list->selectedItems();
  const QList<QListWidgetItem *> models = d_model_list->selectedItems();
  if (makes.isEmpty() || models.size() != 1 || !d_database)
  {
    return;
  }
  const QList<QListWidgetItem *> options = d_option_list->selectedItems();
  if (options.isEmpty())
  {
    d_specification_tree->clear();
    return;
  }
  Show_Specifications(d_database, makes.first()->data(Qt::DisplayRole).toString(),
                      models.first()->data(Qt::DisplayRole).toString(),
                      options.first()->data(Qt::DisplayRole).toString());
}

void TCatalogueView::Select_Machine(const QString &make, const QString &model,
                                    const QString &option)
{
  const QString names[] = {make, model, option};
  for (int level = LEVEL_MAKE; level <= LEVEL_OPTION; ++level)
  {
    QListWidget *list = List(level);
    const QList<QListWidgetItem *> matches =
        list->findItems(names[level], Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (matches.isEmpty())
    {
      return;
    }
    const QSignalBlocker blocker(list);
    list->setCurrentItem(matches.first(), QItemSelectionModel::Select);
  }
  Show_Specifications(d_database, make, model, option);
}

void TCatalogueView::Show_Specifications(TDatabase *database, const QString &make,
                                         const QString &model, const QString &option)
{
  d_specification_tree->clear();
  // Every standard's rows of one state of the catalogue, in one read: on a server each
  // statement is a round trip.
  TReadTransaction one_state(database);
  one_state.Join();
  bool valid = false;
  const QStringList standards = database->Standard_Types(&valid);
  const QList<TDatabaseItem> records =
      valid ? database->Read_Configuration(make, model, option, &valid) : QList<TDatabaseItem>();
  for (int index = 0; valid && index < records.size() && index < standards.size(); ++index)
  {
    Add_Specification_Tree_Items(standards.at(index), records.at(index));
  }
  d_specification_tree->expandAll();
  for (int column = 0; column < TREE_COLUMN_COUNT; ++column)
  {
    d_specification_tree->resizeColumnToContents(column);
  }
}

void TCatalogueView::Add_Specification_Tree_Items(const QString &standard,
                                                  const TDatabaseItem &item)
{
  QTreeWidgetItem *standard_row = new QTreeWidgetItem(d_specification_tree);
  standard_row->setText(0, standard);

  for (int index = 0; index < item.Specification_Item_Count(); ++index)
  {
    const TSpecificationItem specification = item.Specification_Item(index);
    QTreeWidgetItem *row = new QTreeWidgetItem;
    row->setText(1, specification.name);
    row->setText(2, specification.expression.Expression_Text(TExpressionItem::UNITS_UM));
    row->setText(3, Source_Text(specification.source));
    row->setText(4, specification.description);
    standard_row->addChild(row);
  }
}

QString TCatalogueView::Source_Text(int source)
{
  return TDatabaseItem::Source_Name(source);
}

void TCatalogueView::Replace_Names(QListWidget *list, const QStringList &names)
{
  const QSignalBlocker blocker(list);
  list->clear();
  Add_Names(list, names);
}

void TCatalogueView::Add_Names(QListWidget *list, QStringList names)
{
  // Only into an empty list: the list's own sorting keeps the order of what it holds.
  if (!list->isSortingEnabled() || list->count() > 0)
  {
    list->addItems(names);
    return;
  }
  // The list sorts what it is given one item at a time, each a search, an insertion and a
  // signal; a make's thousands of models go in at once, sorted here as the list sorts: by the
  // locale-aware comparison of its items, and a name that compares equal to an earlier one goes
  // before it. That comparison is the system locale's collator, which QString looks up anew for
  // every pair: one collator serves the whole sort.
  std::reverse(names.begin(), names.end());
  const QCollator collator(QLocale::system().collation());
  std::stable_sort(names.begin(), names.end(),
                   [&collator](const QString &first, const QString &second)
                   { return collator.compare(first, second) < 0; });
  list->setSortingEnabled(false);
  list->addItems(names);
  list->setSortingEnabled(true);
}

QStringList TCatalogueView::Texts(const QList<QListWidgetItem *> &items)
{
  QStringList texts;
  for (const QListWidgetItem *item : items)
  {
    texts.append(item->data(Qt::DisplayRole).toString());
  }
  return texts;
}

QString TCatalogueView::Current_Text(const QListWidget *list)
{
  const QListWidgetItem *item = list->currentItem();
  return item ? item->data(Qt::DisplayRole).toString() : QString();
}

QString TCatalogueView::Current_Selected_Text(const QListWidget *list)
{
  const QListWidgetItem *item = list->currentItem();
  return item && item->isSelected() ? item->data(Qt::DisplayRole).toString() : QString();
}

void TCatalogueView::Make_First_Match_Current(QListWidget *list, const QString &text)
{
  const QList<QListWidgetItem *> matches =
      list->findItems(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (!matches.isEmpty())
  {
    list->setCurrentItem(matches.first());
  }
}
