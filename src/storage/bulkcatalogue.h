#ifndef METROVA_BULKCATALOGUE_H
#define METROVA_BULKCATALOGUE_H

#include "specificationestimation.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <vector>

class TDatabase;

// The catalogue as a whole-catalogue job (an import, an export) needs it in memory: the make,
// model and option names with their ids, read once by the engine's bulk writer or reader and
// kept as names are added, and the standards with their components. It resolves only what it
// resolves as TDatabase's look-ups would: plain names (Is_Plain) and the components the catalogue
// lists; everything else is left to TDatabase's own operations, which stay the rule.
class TBulkCatalogue
{
public:
  struct TComponent
  {
    int id;
    QString name;
    QByteArray utf8;
    QString description;
    int expression_types;
  };
  struct TStandard
  {
    int id;
    QString name;
    QByteArray utf8;
    std::vector<TComponent> components;
  };

  // The kinds of names, as TConfigurationNames numbers them.
  enum TKind
  {
    KIND_MAKE = 0,
    KIND_MODEL,
    KIND_OPTION
  };

  explicit TBulkCatalogue(TDatabase *database);

  // The table of a kind of name ("make", "model_types", "option_types").
  static const char *Name_Table(int kind);
  // Its id column ("make_id", ...).
  static const char *Id_Column(int kind);

  // Reads the standards and their components; false with the reason in Error().
  bool Read_Standards();
  QString Error() const { return d_error; }

  // Tests turn bulk work off to compare it with TDatabase's operations (TDatabase::Bulk_Writer
  // and Bulk_Reader then give none).
  static void Set_Enabled(bool enabled);
  static bool Is_Enabled();

  // Whether a name is resolved here: one without characters that SQLite or a look-up by name may
  // take for others (surrogates, U+FEFF and above, among them the replacement character).
  static bool Is_Plain(const QString &name);
  // The id of a make, model or option name (TConfigurationNames' kinds) in UTF-8, -1 when it is
  // not there; a name just added with its id.
  int Name_Id(int kind, const char *utf8, int size) const;
  int Name_Id(int kind, const QString &name) const;
  void Add_Name(int kind, const char *utf8, int size, int id);
  // Whether the name of an id is one that a look-up by that name resolves to this id, here; the
  // name as Qt reads it.
  bool Is_Plain_Name(int kind, int id) const;
  QString Name(int kind, int id) const;

  // The standards in the catalogue's order, and look-ups by name and by id; -1 or null when the
  // catalogue has none.
  const std::vector<TStandard> &Standards() const { return d_standards; }
  int Standard_Id(const char *utf8, int size) const;
  int Standard_Id(const QString &name) const;
  const TComponent *Component(int standard_id, const char *utf8, int size) const;
  const TComponent *Component(int standard_id, const QString &name) const;
  const TComponent *Component_By_Id(int standard_id, int component_id) const;

  // Appends a row of the given ids and stored text in UTF-8, as TDatabase's reader reads it;
  // false for a component the catalogue does not list.
  bool Read_Row(int standard_id, int component_id, const char *text, int size,
                TSpecificationEstimation::TStoredRows *rows) const;

private:
  const TStandard *Standard(int standard_id) const;
  const std::vector<TComponent> &Components(int standard_id) const;

  TDatabase *d_database;
  QString d_error;
  std::vector<TStandard> d_standards;
  QHash<QByteArray, int> d_names[3];
  QHash<int, QByteArray> d_id_names[3];
};

#endif // METROVA_BULKCATALOGUE_H
