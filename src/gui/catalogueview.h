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

// The machine browser, the main window's central widget: the lists of makes, models and options
// and the tree of the selected machine's specifications, read from the database given, with the
// notice and the logo. A selection fills the lists below it and the tree; the window decides
// what the selection allows.
class TCatalogueView : public QWidget
{
  Q_OBJECT

public:
  enum TLevel
  {
    LEVEL_MAKE = 0,
    LEVEL_MODEL,
    LEVEL_OPTION
  };

  explicit TCatalogueView(QWidget *parent = nullptr);

  QListWidget *Make_List() const { return d_make_list; }
  QListWidget *Model_List() const { return d_model_list; }
  QListWidget *Option_List() const { return d_option_list; }
  QTreeWidget *Specification_Tree() const { return d_specification_tree; }
  QListWidget *List(int level) const;

  // The catalogue the lists show; null or closed for none. Shows nothing by itself.
  void Set_Database(TDatabase *database) { d_database = database; }
  // Empties the three lists and the tree; the lists' selection signals run as usual.
  void Clear();
  // The lists emptied, then the catalogue's makes.
  void Show_Makes();
  // The lists as the catalogue now holds them down to the machine, which is selected and shown
  // in the tree where it exists; empty names leave the lists below them empty.
  void Show_Machine(const QString &make, const QString &model, const QString &option);
  // After a level's names changed: that level's list refilled with the names, the lists below it
  // and the tree empty.
  void Show_Level(int level, const QStringList &names);
  // Whether the lists and the tree take input.
  void Set_Browsing_Enabled(bool enabled);

  // The selected machine's names, each empty unless its item is both current and selected.
  QStringList Selected_Machine() const;
  // The names of the selected items of a level, in the list's order of selection.
  QStringList Selected_Names(int level) const;

  // Fills the tree with every standard's rows of the machine, in the database's order of
  // standards; with none when its records cannot be read.
  void Show_Specifications(TDatabase *database, const QString &make, const QString &model,
                           const QString &option);
  // Appends one standard's rows to the tree.
  void Add_Specification_Tree_Items(const QString &standard, const TDatabaseItem &item);

  // The Source column's text: "MFG", "EST", or empty for any other value.
  static QString Source_Text(int source);

  // Replaces a list's names without running its selection signals.
  static void Replace_Names(QListWidget *list, const QStringList &names);
  // Adds names to a list, in the list's order where it sorts them.
  static void Add_Names(QListWidget *list, QStringList names);
  // The texts of the items, in the given order.
  static QStringList Texts(const QList<QListWidgetItem *> &items);
  // The current item's text, empty without one.
  static QString Current_Text(const QListWidget *list);
  // The current item's text when it is also selected: a current item the user unselected does
  // not count.
  static QString Current_Selected_Text(const QListWidget *list);
  // Makes the first item with exactly this text current, which selects it.
  static void Make_First_Match_Current(QListWidget *list, const QString &text);

signals:
  // The selection ended up changed, by the user or by a Show_ call.
  void Selection_Changed();

private slots:
  void Make_Selection_Changed();
  void Model_Selection_Changed();
  void Option_Selection_Changed();

private:
  // Selects make, model and option where the lists hold them, without running the selection
  // signals, and shows the machine's tree.
  void Select_Machine(const QString &make, const QString &model, const QString &option);

  QListWidget *d_make_list;
  QListWidget *d_model_list;
  QListWidget *d_option_list;
  QTreeWidget *d_specification_tree;
  TDatabase *d_database;
};

#endif // METROVA_CATALOGUEVIEW_H
