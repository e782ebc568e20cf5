#include "bulkcatalogue.h"

#include "configurationnames.h"
#include "database.h"

#include <QAtomicInt>

#include <algorithm>
#include <cstring>

namespace
{
QAtomicInt enabled(1);

static_assert(int(TBulkCatalogue::KIND_MAKE) == int(TConfigurationNames::MAKE) &&
                  int(TBulkCatalogue::KIND_OPTION) == int(TConfigurationNames::OPTION),
              "the kinds of names are the same");

// The name tables by kind, as TConfigurationNames has them.
const char *const NAME_TABLES[] = {"make", "model_types", "option_types"};
const char *const ID_COLUMNS[] = {"make_id", "model_id", "option_id"};

bool Same(const QByteArray &name, const char *utf8, int size)
{
  return name.size() == size && std::memcmp(name.constData(), utf8, size) == 0;
}
} // namespace

TBulkCatalogue::TBulkCatalogue(TDatabase *database) : d_database(database) {}

const char *TBulkCatalogue::Name_Table(int kind)
{
  return NAME_TABLES[kind];
}

const char *TBulkCatalogue::Id_Column(int kind)
{
  return ID_COLUMNS[kind];
}

void TBulkCatalogue::Set_Enabled(bool enable)
{
  enabled.storeRelaxed(enable ? 1 : 0);
}

bool TBulkCatalogue::Is_Enabled()
{
  return enabled.loadRelaxed() != 0;
}

bool TBulkCatalogue::Is_Plain(const QString &name)
{
  return std::all_of(name.cbegin(), name.cend(),
                     [](QChar character)
                     {
                       return character.unicode() < 0xD800 ||
                              (character.unicode() >= 0xE000 && character.unicode() < 0xFEFF);
                     });
}

bool TBulkCatalogue::Read_Standards()
{
  TDatabase *database = d_database;
  bool valid = false;
  const QStringList standards = database->Standard_Types(&valid);
  if (!valid)
  {
    d_error = database->Last_Error();
    return false;
  }
  for (const QString &name : standards)
  {
    const int standard_id = database->Standard_Type_Id(name);
    const QStringList components = database->Component_Types(name, &valid);
    if (standard_id < 0 || !valid)
    {
      d_error = database->Last_Error();
      return false;
    }
    TStandard standard{standard_id, name, name.toUtf8(), {}};
    for (const QString &component : components)
    {
      const int component_id = database->Component_Type_Id(standard_id, component);
      const TStandardCatalogue::TComponentType *type =
          component_id < 0 ? nullptr : database->Component_Type(standard_id, component_id);
      if (!type)
      {
        d_error = database->Last_Error();
        return false;
      }
      standard.components.push_back(TComponent{component_id, type->name, type->name.toUtf8(),
                                               type->description, type->expression_types});
    }
    d_standards.push_back(standard);
  }
  return true;
}

int TBulkCatalogue::Name_Id(int kind, const char *utf8, int size) const
{
  return d_names[kind].value(QByteArray::fromRawData(utf8, size), -1);
}

int TBulkCatalogue::Name_Id(int kind, const QString &name) const
{
  return d_names[kind].value(name.toUtf8(), -1);
}

void TBulkCatalogue::Add_Name(int kind, const char *utf8, int size, int id)
{
  const QByteArray key(utf8, size);
  if (!d_names[kind].contains(key))
  {
    d_names[kind].insert(key, id);
  }
  d_id_names[kind].insert(id, key);
}

bool TBulkCatalogue::Is_Plain_Name(int kind, int id) const
{
  const auto name = d_id_names[kind].constFind(id);
  if (name == d_id_names[kind].constEnd() || d_names[kind].value(name.value(), -1) != id)
  {
    return false;
  }
  const QByteArray &utf8 = name.value();
  if (std::all_of(utf8.cbegin(), utf8.cend(), [](char byte) { return byte >= 0; }))
  {
    return true;
  }
  const QString text = QString::fromUtf8(utf8);
  return Is_Plain(text) && text.toUtf8() == utf8;
}

QString TBulkCatalogue::Name(int kind, int id) const
{
  return QString::fromUtf8(d_id_names[kind].value(id));
}

const TBulkCatalogue::TStandard *TBulkCatalogue::Standard(int standard_id) const
{
  const auto standard = std::find_if(d_standards.begin(), d_standards.end(),
                                     [standard_id](const TStandard &candidate)
                                     { return candidate.id == standard_id; });
  return standard == d_standards.end() ? nullptr : &*standard;
}

int TBulkCatalogue::Standard_Id(const char *utf8, int size) const
{
  for (const TStandard &standard : d_standards)
  {
    if (Same(standard.utf8, utf8, size))
    {
      return standard.id;
    }
  }
  return -1;
}

int TBulkCatalogue::Standard_Id(const QString &name) const
{
  for (const TStandard &standard : d_standards)
  {
    if (standard.name == name)
    {
      return standard.id;
    }
  }
  return -1;
}

const std::vector<TBulkCatalogue::TComponent> &TBulkCatalogue::Components(int standard_id) const
{
  static const std::vector<TComponent> none;
  const TStandard *standard = Standard(standard_id);
  return standard ? standard->components : none;
}

const TBulkCatalogue::TComponent *TBulkCatalogue::Component(int standard_id, const char *utf8,
                                                            int size) const
{
  for (const TComponent &component : Components(standard_id))
  {
    if (Same(component.utf8, utf8, size))
    {
      return &component;
    }
  }
  return nullptr;
}

const TBulkCatalogue::TComponent *TBulkCatalogue::Component(int standard_id,
                                                            const QString &name) const
{
  for (const TComponent &component : Components(standard_id))
  {
    if (component.name == name)
    {
      return &component;
    }
  }
  return nullptr;
}

const TBulkCatalogue::TComponent *TBulkCatalogue::Component_By_Id(int standard_id,
                                                                  int component_id) const
{
  for (const TComponent &component : Components(standard_id))
  {
    if (component.id == component_id)
    {
      return &component;
    }
  }
  return nullptr;
}

bool TBulkCatalogue::Read_Row(int standard_id, int component_id, const char *text, int size,
                              TSpecificationEstimation::TStoredRows *rows) const
{
  const TComponent *component = Component_By_Id(standard_id, component_id);
  if (!component)
  {
    return false;
  }
  rows->push_back({standard_id, component->id, {}});
  TSpecificationItem &item = rows->back().item;
  item.name = component->name;
  item.description = component->description;
  item.expression_types = component->expression_types;
  item.expression.Set_Expression(text, size, TExpressionItem::UNITS_MM);
  return true;
}
