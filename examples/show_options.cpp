// Prints the option listing as a plug-in builds it: the registry with the
// factorization and presolve groups, the solver's two groups, every option
// at its default. Hidden options are listed too when the first argument is
// "hidden".
#include <cstdio>
#include <cstring>

#include "core/Options.hpp"
#include "core/Output.hpp"
#include "solver/SarnOptions.hpp"

int main(int argc, char** argv) {
  Output_SetStatusFile(stdout);
  Options* options = Sarn_CreateOptions();
  Sarn_AddOptions(options);
  Options_Default(options);
  if (argc > 1 && std::strcmp(argv[1], "hidden") == 0) {
    Options_CommonTable[COMMON_OUTPUT_HIDDEN_OPTIONS].bool_value = 1;
  }
  Options_Display(options);
  Options_Destroy(options);
  Output_SetStatusFile(nullptr);
  return 0;
}
