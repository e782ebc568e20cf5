#ifndef METROVA_DATABASEITEM_H
#define METROVA_DATABASEITEM_H

#include "expressionitem.h"

#include <QString>
#include <vector>

struct TSpecificationItem
{
  QString name;
  TExpressionItem expression;
  QString description;
  int expression_types = 0;
  int source = 0;
};

// The specification of one make, model and option under one standard.
class TDatabaseItem
{
public:
  static constexpr int SOURCE_MANUFACTURER = 0;
  static constexpr int SOURCE_ESTIMATED = 1;
  // A new make, model or option name has at most this many characters: a longer one is hard to
  // show and to tell apart. Names stored before the rule stay as they are.
  static constexpr int MAXIMUM_NAME_LENGTH = 255;

  TDatabaseItem() = default;
  TDatabaseItem(const TDatabaseItem &other) = default;
  TDatabaseItem &operator=(const TDatabaseItem &other) = default;

  QString Make() const { return d_make; }
  QString Model() const { return d_model; }
  QString Option() const { return d_option; }
  QString Standard() const { return d_standard; }

  // Changing a name discards the items: they belong to the old machine or standard.
  void Set_Make(const QString &make);
  void Set_Model(const QString &model);
  void Set_Option(const QString &option);
  void Set_Standard(const QString &standard);

  int Specification_Item_Count() const { return static_cast<int>(d_specification_items.size()); }
  const TSpecificationItem &Specification_Item(int index) const;
  void Add_Specification_Item(const TSpecificationItem &item);
  void Clear_Specification_Items() { d_specification_items.clear(); }
  void Remove_Estimated_Items();

  QString Expression_Text(const QString &component, int units) const;
  int Source(const QString &component) const;
  // "MFG" or "EST" as the catalogue shows a source; empty for a value that is neither.
  static QString Source_Name(int source);

  void Sanitize_Names();
  static QString Sanitize(const QString &text);
  static void Sanitize(QString *str);
  // A make, model or option name as the catalogue keeps it: runs of white space made one blank,
  // the ends trimmed, Sanitize applied and byte order marks at the start left out. Empty when
  // nothing is left, or when the name holds a control character, which no line of an exchange file
  // can carry.
  static QString Cleaned_Name(const QString &name);
  // Whether Cleaned_Name keeps a name as it is, for a name in bytes that holds ASCII only (false
  // otherwise): an importer checks it before it takes the bytes of a file as the name.
  static bool Is_Clean_Name(const char *bytes, int size);
  // Why a new name of the kind ("make", "model", "option") cannot be taken: it is longer than
  // MAXIMUM_NAME_LENGTH characters. Empty when it can.
  static QString Name_Length_Problem(const QString &kind, const QString &name);

private:
  QString d_make;
  QString d_model;
  QString d_option;
  QString d_standard;
  std::vector<TSpecificationItem> d_specification_items;
};

#endif // METROVA_DATABASEITEM_H
