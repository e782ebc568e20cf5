#include "specificationestimation.h"

#include "expressionitem.h"

#include <QLatin1String>

#include <algorithm>
#include <array>
#include <iterator>

namespace
{
using TStoredRow = TSpecificationEstimation::TStoredRow;
using TStoredRows = TSpecificationEstimation::TStoredRows;
using TDerivedItem = TSpecificationEstimation::TDerivedItem;

// Derived items wait in one list per target standard and are stored list by list in this order.
enum TTarget
{
  TARGET_B89 = 0,
  TARGET_10360,
  TARGET_VDIVDE_2617,
  TARGET_CMMA,
  TARGET_COUNT
};

const char *const TARGET_STANDARDS[TARGET_COUNT] = {"B89.4.1", "10360", "VDIVDE_2617", "CMMA"};

using TPendingLists = std::array<TSpecificationEstimation::TDerivedItems, TARGET_COUNT>;

// The components that the rules name.
enum TComponent
{
  COMPONENT_VOLUME,
  COMPONENT_E0,
  COMPONENT_E150,
  COMPONENT_U3,
  COMPONENT_M,
  COMPONENT_REPEAT,
  COMPONENT_RPT,
  COMPONENT_R0,
  COMPONENT_PFTU,
  COMPONENT_V3,
  COMPONENT_COUNT
};

const char *const COMPONENT_NAMES[COMPONENT_COUNT] = {"Volume", "E0",  "E150", "U3",   "M",
                                                      "Repeat", "Rpt", "R0",   "Pftu", "V3"};
static_assert(TARGET_COUNT * COMPONENT_COUNT <= TSpecificationEstimation::PLACE_COUNT,
              "every target and component has a place");

// The names as strings made once: derived items are made by the hundred thousand.
const QString &Standard_Name(TTarget target)
{
  static const std::vector<QString> names(std::begin(TARGET_STANDARDS), std::end(TARGET_STANDARDS));
  return names[target];
}

const QString &Component_Name(TComponent component)
{
  static const std::vector<QString> names(std::begin(COMPONENT_NAMES), std::end(COMPONENT_NAMES));
  return names[component];
}

// The components that hold one and the same length error. "Volume" of "B89.4.1" holds twice it.
struct TLengthErrorComponent
{
  TTarget target;
  TComponent component;
};

const TLengthErrorComponent LENGTH_ERROR_COMPONENTS[] = {{TARGET_10360, COMPONENT_E0},
                                                         {TARGET_10360, COMPONENT_E150},
                                                         {TARGET_VDIVDE_2617, COMPONENT_U3},
                                                         {TARGET_CMMA, COMPONENT_M}};

// Constant-to-constant rules of the repeatability and probing components.
struct TConstantTarget
{
  TTarget target;
  TComponent component;
  double factor;
};

struct TConstantRule
{
  TTarget source;
  TComponent component;
  int target_count;
  TConstantTarget targets[3];
};

const TConstantRule CONSTANT_RULES[] = {
    {TARGET_10360,
     COMPONENT_R0,
     2,
     {{TARGET_B89, COMPONENT_REPEAT, 0.5}, {TARGET_CMMA, COMPONENT_REPEAT, 1.0}}},
    {TARGET_10360,
     COMPONENT_RPT,
     2,
     {{TARGET_B89, COMPONENT_REPEAT, 1.0}, {TARGET_CMMA, COMPONENT_REPEAT, 2.0}}},
    {TARGET_B89,
     COMPONENT_REPEAT,
     3,
     {{TARGET_10360, COMPONENT_RPT, 1.0},
      {TARGET_CMMA, COMPONENT_REPEAT, 2.0},
      {TARGET_10360, COMPONENT_R0, 2.0}}},
    {TARGET_CMMA,
     COMPONENT_REPEAT,
     3,
     {{TARGET_B89, COMPONENT_REPEAT, 0.5},
      {TARGET_10360, COMPONENT_RPT, 0.5},
      {TARGET_10360, COMPONENT_R0, 1.0}}},
    {TARGET_10360, COMPONENT_PFTU, 1, {{TARGET_VDIVDE_2617, COMPONENT_V3, 1.0}}},
    {TARGET_VDIVDE_2617, COMPONENT_V3, 1, {{TARGET_10360, COMPONENT_PFTU, 1.0}}},
};

using TDerivedForm = TSpecificationEstimation::TDerivedForm;

TDerivedForm Form(int kind, std::initializer_list<double> values)
{
  TDerivedForm form{kind, {}};
  std::copy(values.begin(), values.end(), form.values);
  return form;
}

// A length error of kind 4, 8 or 32 with its error values scaled; Td coefficients never scale.
// Of kind undefined for any other kind.
TDerivedForm Scaled_Length_Error(const TExpressionItem &expression, double scale,
                                 double maximum_scale)
{
  const auto value = [&expression](int index)
  { return expression.Component(index, TExpressionItem::UNITS_MM); };

  switch (expression.Expression_Type())
  {
  case TExpressionItem::EXPRESSION_LINEAR:
    return Form(TExpressionItem::EXPRESSION_LINEAR, {scale * value(0), scale * value(1), value(2)});
  case TExpressionItem::EXPRESSION_LINEAR_MAXIMUM:
    return Form(TExpressionItem::EXPRESSION_LINEAR_MAXIMUM,
                {scale * value(0), scale * value(1), value(2), maximum_scale * value(3)});
  case TExpressionItem::EXPRESSION_LINEAR_TEMPERATURE:
    return Form(TExpressionItem::EXPRESSION_LINEAR_TEMPERATURE,
                {scale * value(0), value(1), scale * value(2), value(3), value(4)});
  default:
    return Form(TExpressionItem::EXPRESSION_UNDEFINED, {});
  }
}

// The repeatability R of a "B89.4.1" record, read from its "Repeat" text as stored.
struct TRepeatability
{
  bool available = false;
  double value = 0.0;
};

void Add_Derived_Item(TPendingLists *pending, TTarget target, const TSpecificationItem &source,
                      TComponent component, const TDerivedForm &form)
{
  TDerivedItem derived{Standard_Name(target), source, form, target * COMPONENT_COUNT + component};
  derived.item.name = Component_Name(component);
  derived.item.source = TDatabaseItem::SOURCE_ESTIMATED;
  (*pending)[target].push_back(std::move(derived));
}

// Appends to the pending lists what one item of the source standard yields.
void Derive_Items(TTarget source_standard, const TSpecificationItem &item,
                  const TRepeatability &repeatability, TPendingLists *pending)
{
  const TExpressionItem &expression = item.expression;
  const int kind = expression.Expression_Type();

  for (const TLengthErrorComponent &source : LENGTH_ERROR_COMPONENTS)
  {
    if (source.target != source_standard || item.name != Component_Name(source.component))
    {
      continue;
    }
    const TDerivedForm volume = Scaled_Length_Error(expression, 2.0, 2.0);
    if (volume.kind == TExpressionItem::EXPRESSION_UNDEFINED)
    {
      return;
    }
    Add_Derived_Item(pending, TARGET_B89, item, COMPONENT_VOLUME, volume);
    const TDerivedForm same = Scaled_Length_Error(expression, 1.0, 1.0);
    for (const TLengthErrorComponent &target : LENGTH_ERROR_COMPONENTS)
    {
      if (&target != &source)
      {
        Add_Derived_Item(pending, target.target, item, target.component, same);
      }
    }
    return;
  }

  if (source_standard == TARGET_B89 && item.name == Component_Name(COMPONENT_VOLUME))
  {
    const auto value = [&expression](int index)
    { return expression.Component(index, TExpressionItem::UNITS_MM); };

    TDerivedForm form = Form(TExpressionItem::EXPRESSION_UNDEFINED, {});
    if (kind == TExpressionItem::EXPRESSION_FIXED_LENGTH)
    {
      // The value stated for length N becomes the length-dependent part.
      if (repeatability.available)
      {
        form = Form(TExpressionItem::EXPRESSION_LINEAR,
                    {repeatability.value, value(0) / 2.0, value(1)});
      }
    }
    else if (kind == TExpressionItem::EXPRESSION_FIXED_LENGTH_TEMPERATURE)
    {
      if (repeatability.available)
      {
        // The temperature form without a Td term in its constant part.
        form = Form(TExpressionItem::EXPRESSION_LINEAR_TEMPERATURE,
                    {repeatability.value, 0.0, value(0) / 2.0, value(1), value(2)});
      }
    }
    else
    {
      // The maximum of a ballbar length variation is kept as it is.
      form = Scaled_Length_Error(expression, 0.5, 1.0);
    }
    if (form.kind != TExpressionItem::EXPRESSION_UNDEFINED)
    {
      for (const TLengthErrorComponent &target : LENGTH_ERROR_COMPONENTS)
      {
        Add_Derived_Item(pending, target.target, item, target.component, form);
      }
    }
    return;
  }

  if (kind != TExpressionItem::EXPRESSION_CONSTANT)
  {
    return;
  }
  const double a = expression.Component(0, TExpressionItem::UNITS_MM);
  for (const TConstantRule &rule : CONSTANT_RULES)
  {
    if (rule.source != source_standard || item.name != Component_Name(rule.component))
    {
      continue;
    }
    for (int index = 0; index < rule.target_count; ++index)
    {
      const TConstantTarget &target = rule.targets[index];
      Add_Derived_Item(pending, target.target, item, target.component,
                       Form(TExpressionItem::EXPRESSION_CONSTANT, {target.factor * a}));
    }
    return;
  }
}

int Target_Of(const QString &standard)
{
  for (int target = 0; target < TARGET_COUNT; ++target)
  {
    if (standard == QLatin1String(TARGET_STANDARDS[target]))
    {
      return target;
    }
  }
  return -1;
}

// What the rows of one standard yield, in the order of the pending lists.
TPendingLists Derive_From_Standard(TTarget source_standard, int standard_id,
                                   const TStoredRows &rows)
{
  TRepeatability repeatability;
  if (source_standard == TARGET_B89)
  {
    // R as stored, that is rounded as its text is.
    const auto repeat = std::find_if(rows.begin(), rows.end(),
                                     [standard_id](const TStoredRow &row) {
                                       return row.standard_id == standard_id &&
                                              row.item.name == Component_Name(COMPONENT_REPEAT);
                                     });
    if (repeat != rows.end())
    {
      repeatability.available = true;
      repeatability.value =
          repeat->item.expression.Expression_Text(TExpressionItem::UNITS_MM).toDouble();
    }
  }
  TPendingLists pending;
  for (const TStoredRow &row : rows)
  {
    if (row.standard_id == standard_id)
    {
      Derive_Items(source_standard, row.item, repeatability, &pending);
    }
  }
  return pending;
}
} // namespace

TSpecificationEstimation::TDerivedItems
TSpecificationEstimation::Derive(const QString &standard, int standard_id, const TStoredRows &rows)
{
  const int source_standard = Target_Of(standard);
  if (source_standard < 0)
  {
    return {};
  }
  TPendingLists pending =
      Derive_From_Standard(static_cast<TTarget>(source_standard), standard_id, rows);
  TDerivedItems derived;
  for (TDerivedItems &list : pending)
  {
    derived.insert(derived.end(), std::make_move_iterator(list.begin()),
                   std::make_move_iterator(list.end()));
  }
  return derived;
}

bool TSpecificationEstimation::Has_Rules(const QString &standard)
{
  return Target_Of(standard) >= 0;
}

bool TSpecificationEstimation::Choose_New_Rows(const TDerivedItems &derived, const TPlace &place,
                                               TStoredRows *rows, std::vector<TNewRow> *chosen)
{
  for (const TDerivedItem &candidate : derived)
  {
    int standard_id = -1;
    int component_id = -1;
    if (!place(candidate, &standard_id, &component_id))
    {
      return false;
    }
    if (component_id < 0 ||
        std::any_of(rows->begin(), rows->end(),
                    [standard_id, component_id](const TStoredRow &row)
                    { return row.standard_id == standard_id && row.component_id == component_id; }))
    {
      continue;
    }
    TSpecificationItem item = candidate.item;
    const QString text = TExpressionItem::Form_Text(candidate.form.kind, candidate.form.values,
                                                    TExpressionItem::UNITS_MM);
    const int kind = item.expression.Set_Expression(text, TExpressionItem::UNITS_MM);
    // A text that is written as it is stored reads back as itself.
    const QString stored = item.expression.Expression_Text(TExpressionItem::UNITS_MM);
    if (kind == TExpressionItem::EXPRESSION_UNDEFINED ||
        (stored != text && !item.expression.Is_Storable()))
    {
      continue;
    }
    chosen->push_back(TNewRow{standard_id, component_id, stored});
    rows->push_back(TStoredRow{standard_id, component_id, item});
  }
  return true;
}
