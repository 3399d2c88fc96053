// Prints the option listing with every option at its default.
#include <cstdio>

#include "core/Options.hpp"
#include "core/Output.hpp"

int main() {
  Output_SetStatusFile(stdout);
  Options_CommonDefaults();
  for (const Option& option : Options_CommonTable) {
    if (option.visible != 1) continue;
    switch (option.type) {
      case OPTION_BOOLEAN:
        Output_Printf(OUTPUT_STATUS, "%s %s\n", option.name, option.bool_value ? "yes" : "no");
        break;
      case OPTION_INTEGER:
        Output_Printf(OUTPUT_STATUS, "%s %d\n", option.name, option.int_value);
        break;
      default:
        Output_Printf(OUTPUT_STATUS, "%s %g\n", option.name, option.double_value);
    }
  }
  return 0;
}
