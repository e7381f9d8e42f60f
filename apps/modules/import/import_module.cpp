// The import module's table: the import command.
#include "modules/import/import_module.h"

#include "modules/module_table.h"

TARNWELL_MODULE_ENTRY(import) {
  static const tarnwell::ModuleTable table = [] {
    tarnwell::ModuleTable t;
    t.commands = {{"import", tarnwell::cli::RunImport}};
    return t;
  }();
  return &table;
}
