#ifndef METROVA_SPECIFICATIONESTIMATION_H
#define METROVA_SPECIFICATIONESTIMATION_H

#include "databaseitem.h"

#include <QString>
#include <functional>
#include <vector>

// The conversion rules between the four standards: what the stored rows of one make, model and
// option yield for the components of the other standards. Reads and stores nothing; TDatabase
// reads the rows and stores what comes out.
class TSpecificationEstimation
{
public:
  // A stored row of the configuration: its ids and its item (name, parsed expression, source).
  struct TStoredRow
  {
    int standard_id;
    int component_id;
    TSpecificationItem item;
  };
  using TStoredRows = std::vector<TStoredRow>;

  // A derived expression: a kind with its values in millimetres. It is stored as the text that
  // TExpressionItem::Form_Text writes for them, read back: written and read only when the item is
  // about to be stored, since most derivations find their row.
  struct TDerivedForm
  {
    int kind;
    double values[TExpressionItem::EXPRESSION_COMPONENT_SIZE];
  };
  // A copy of its source item under the target's component name with source estimated, and its
  // expression. Its place is a number below PLACE_COUNT, the same for every item of one target
  // standard and component: a key for whoever looks places up.
  static constexpr int PLACE_COUNT = 64;
  struct TDerivedItem
  {
    QString standard;
    TSpecificationItem item;
    TDerivedForm form;
    int place;
  };
  using TDerivedItems = std::vector<TDerivedItem>;

  // What the rows of one source standard (its name and its id in the rows) yield, in the order
  // of storage: the targets "B89.4.1", "10360", "VDIVDE_2617", "CMMA", each in the order of
  // derivation. A standard outside the four yields nothing.
  static TDerivedItems Derive(const QString &standard, int standard_id, const TStoredRows &rows);
  // Whether a standard has conversion rules at all.
  static bool Has_Rules(const QString &standard);

  // A derived item chosen to be stored: its place and its text as stored.
  struct TNewRow
  {
    int standard_id;
    int component_id;
    QString text;
  };
  // Where the catalogue keeps the component of a derived item's standard: a component id of -1
  // when it has no place for it; false when the catalogue cannot be read.
  using TPlace =
      std::function<bool(const TDerivedItem &derived, int *standard_id, int *component_id)>;
  // Of the derived items in order, those that have a place, a storable text and no row yet in
  // rows. Each is appended to rows as it is chosen: the first derivation of a component wins. A
  // value too large for the text forms would be stored as something else, or a made-up zero, so
  // that estimate is left out. False when the catalogue cannot be read.
  static bool Choose_New_Rows(const TDerivedItems &derived, const TPlace &place, TStoredRows *rows,
                              std::vector<TNewRow> *chosen);
};

#endif // METROVA_SPECIFICATIONESTIMATION_H
