#ifndef METROVA_CATALOGUEVIEW_H
#define METROVA_CATALOGUEVIEW_H

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class QListWidget;
class QListWidgetItem;
class QTreeWidget;
class TDatabase;
class TDatabaseItem;

// The main window's central widget: the lists of makes, models and options, the tree of the
// selected machine's specifications, the notice and the logo. It shows what it is given; the
// window decides what that is.
class TCatalogueView : public QWidget
{
public:
  explicit TCatalogueView(QWidget *parent = nullptr);

  QListWidget *Make_List() const { return d_make_list; }
  QListWidget *Model_List() const { return d_model_list; }
  QListWidget *Option_List() const { return d_option_list; }
  QTreeWidget *Specification_Tree() const { return d_specification_tree; }

  // Empties the three lists and the tree; the lists' selection signals run as usual.
  void Clear();

  // Fills the tree with every standard's rows of the machine, in the database's order of
  // standards; a standard whose record cannot be read is left out.
  void Show_Specifications(TDatabase *database, const QString &make, const QString &model,
                           const QString &option);
  // Appends one standard's rows to the tree.
  void Add_Specification_Tree_Items(const QString &standard, const TDatabaseItem &item);

  // The Source column's text: "MFG", "EST", or empty for any other value.
  static QString Source_Text(int source);

  // Replaces a list's names without running its selection signals.
  static void Replace_Names(QListWidget *list, const QStringList &names);
  // The texts of the items, in the given order.
  static QStringList Texts(const QList<QListWidgetItem *> &items);
  // The current item's text, empty without one.
  static QString Current_Text(const QListWidget *list);
  // The current item's text when it is also selected: a current item the user unselected does
  // not count.
  static QString Current_Selected_Text(const QListWidget *list);
  // Makes the first item with exactly this text current, which selects it.
  static void Make_First_Match_Current(QListWidget *list, const QString &text);

private:
  QListWidget *d_make_list;
  QListWidget *d_model_list;
  QListWidget *d_option_list;
  QTreeWidget *d_specification_tree;
};

#endif // METROVA_CATALOGUEVIEW_H
