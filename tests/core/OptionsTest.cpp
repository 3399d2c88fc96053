// Options registry: defaults and listing, abbreviated names, value setters
// with their cascades and hooks, by-name access, registration.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "core/Options.hpp"
#include "core/OptionsFixture.hpp"

namespace {

// The listing after the defaults, as the option tables give it: every
// visible option of the common table, the factorization group (none), the
// presolve group, the algorithm group and the Lemke group.
const char* const kVisibleListing = R"(convergence_tolerance 1e-06
major_iteration_limit 500
minor_iteration_limit 1000
crash_iteration_limit 50
cumulative_iteration_limit 10000
time_limit 3600
interrupt_limit 5
chen_lambda 0.8
output yes
output_errors yes
output_warnings no
output_major_iterations yes
output_major_iterations_frequency 1
output_minor_iterations yes
output_minor_iterations_frequency 500
output_crash_iterations yes
output_crash_iterations_frequency 1
output_initial_point no
output_initial_statistics no
output_initial_point_statistics yes
output_initial_scaling_statistics yes
output_final_point no
output_final_statistics yes
output_final_point_statistics yes
output_final_scaling_statistics no
output_final_degeneracy_statistics no
output_final_summary yes
output_maximum_zero_log 10
output_maximum_zero_listing 1000
output_restart_log yes
output_options no
presolve yes
output_presolve_level 1
gradient_step_limit 5
gradient_searchtype arc
crash_method pnewton
crash_perturb yes
crash_searchtype line
crash_minimum_dimension 1
crash_nbchange_limit 1
nms yes
nms_memory_size 10
nms_mstep_frequency 10
nms_initial_reference_factor 20
nms_searchtype line
nms_maximum_watchdogs 5
proximal_perturbation 0
merit_function fischer
crash_merit_function fischer
lemke_start automatic
lemke_start_type slack
lemke_rank_deficiency_iterations 10
output_linear_model no
)";

// The listing of every option after the defaults and then
// output_hidden_options set to yes.
const char* const kFullListing = R"(infinity 1e+20
convergence_tolerance 1e-06
major_iteration_limit 500
minor_iteration_limit 1000
crash_iteration_limit 50
crash_minor_iteration_limit 10
cumulative_iteration_limit 10000
time_limit 3600
restart_limit 10
interrupt_limit 5
return_best_point yes
chen_lambda 0.8
jacobian_smoothing 0.01
decomposition_size_limit 10000
gmres_update_frequency 100
ilu_drop_tolerance 8.16199e-15
ilu_perturbation 0
ilu_perturbation_initial_value 1
ilu_perturbation_small_value 1e-08
ilu_perturbation_increase_factor 10
ilu_perturbation_decrease_factor 0.1
output yes
output_errors yes
output_warnings no
output_major_iterations yes
output_major_iterations_frequency 1
output_minor_iterations yes
output_minor_iterations_frequency 500
output_crash_iterations yes
output_crash_iterations_frequency 1
output_nms_iterations yes
output_nms_iterations_frequency 500
output_model_statistics yes
output_initial_point no
output_initial_statistics no
output_initial_point_statistics yes
output_initial_scaling_statistics yes
output_final_point no
output_final_statistics yes
output_final_point_statistics yes
output_final_scaling_statistics no
output_final_degeneracy_statistics no
output_final_summary yes
output_maximum_zero_log 10
output_maximum_zero_listing 1000
output_restart_log yes
output_options no
output_hidden_options yes
nonlinear_model_use_start yes
project_start yes
check_skew_symmetry no
factorization_elbowroom 1.5
factorization_vectorroom 5
factorization_luroom 0.75
factorization_update_limit 50
factorization_update_ratio 1
factorization_tolerance 0.1
factorization_update_tolerance 0.1
factorization_small_tolerance 8.16199e-15
factorization_pivot_tolerance 3.66685e-11
factorization_zero_tolerance 3.66685e-11
factorization_pivot_type 0
factorization_method sparse
output_factorization_updates no
output_factorization_updates_frequency 20
output_factorization_singularities no
output_factorization_information no
output_factorization_debug_information no
presolve yes
presolve_implied no
presolve_project_implied yes
presolve_tighten no
presolve_recursive yes
presolve_jacobian_tolerance 1e-12
presolve_zero_tolerance 1e-12
output_presolve_level 1
restart_stationary_limit 10
restart_stationary_tolerance 1e-10
gradient_step_limit 5
gradient_searchtype arc
gradient_sigma 0.0001
gradient_shrink_factor 0.8
gradient_refine_frequency 3
gradient_stepsize_minimum 1e-15
residual_size 100
residual_factor 0.5
crash_method pnewton
crash_perturb yes
crash_searchtype line
crash_minimum_dimension 1
crash_sigma 0.0001
crash_shrink_factor 0.8
crash_refine_frequency 3
crash_stepsize_minimum 1e-05
crash_convergence_tolerance 1e-06
crash_nbchange_limit 1
crash_proximal_shrink_factor 0.9
crash_proximal_increase_factor 10
crash_proximal_merit_factor 0.01
crash_proximal_minimum 1e-15
crash_proximal_maximum 1e+06
crash_proximal_initial_maximum 10
recovery_method none
nms yes
nms_initial_monotone_steps 0
nms_memory_size 10
nms_sigma 0.0001
nms_mstep_frequency 10
nms_initial_stepsize_minimum 20
nms_initial_stepsize_factor 20
nms_initial_reference_minimum 0
nms_initial_reference_factor 20
nms_large_reference_factor 100
nms_searchtype line
nms_sarnsearch_interpolate yes
nms_shrink_factor 0.8
nms_refine_frequency 3
nms_stepsize_minimum 1e-08
nms_delta_shrink_factor 0.9
nms_delta_min 1e-15
nms_maximum_watchdogs 5
proximal_perturbation 0
proximal_initial 0
proximal_shrink_factor 0.4
proximal_increase_factor 10
proximal_merit_factor 0.1
proximal_minimum 1e-15
proximal_primal no
proximal_dual no
proximal_initial_maximum 10
merit_function fischer
crash_merit_function fischer
nonlinear_model_presolve no
nonlinear_model_scale no
nonlinear_model_perturb no
linear_model_presolve no
linear_model_scale yes
linear_model_perturb yes
linear_scale_method diagonal
lemke_start automatic
lemke_start_type slack
lemke_start_tolerance 5
lemke_maximum_iteration_limit 10000
lemke_size_factor 10
lemke_return_best_point yes
lemke_pivot_type expand
lemke_ray_type standard
lemke_rayterm_minimum 0.5
lemke_artificial_minimum 0
lemke_artificial_maximum 0
lemke_rank_deficiency_iterations 10
lemke_cycle_limit 4
lemke_scale_residual yes
textbook_pivot_tolerance 3.66685e-11
textbook_delta 0
textbook_epsilon 1.81899e-12
devex_pivot_tolerance 3.66685e-11
devex_delta 1e-06
devex_epsilon 1.81899e-12
expand_pivot_tolerance 3.66685e-11
expand_delta 1e-06
expand_delta_start 5e-07
expand_delta_end 9.9e-07
expand_delta_current 5e-07
expand_tau 4.9e-11
expand_epsilon 1.81899e-12
expand_maximum_iterations 10000
expand_iteration 0
adaptive_pivot_tolerance 1e-11
adaptive_delta_high 1e-08
adaptive_delta_low 1e-06
adaptive_delta_break 5e-07
adaptive_delta_current 1e-08
adaptive_iterations_high 50
adaptive_iterations_low 10000
adaptive_tau_high 9.8e-09
adaptive_tau_low 5e-11
adaptive_epsilon 1.81899e-12
adaptive_iteration 0
output_linear_model no
)";

using OptionsTest = HostOptionsTest;

// --- Defaults and listing --------------------------------------------------

TEST_F(OptionsTest, ListingAfterTheDefaultsShowsTheVisibleOptions) {
  Options_Display(options_);
  EXPECT_EQ(output()->status(), kVisibleListing);
  EXPECT_EQ(output()->log(), "");  // output_options is no
  EXPECT_EQ(output()->listing(), "");
}

TEST_F(OptionsTest, HiddenOptionsAreListedOnRequest) {
  ASSERT_EQ(Options_Set(options_, "output_hidden_options yes"), OPTIONS_APPLIED);
  output()->Clear();
  Options_Display(options_);
  EXPECT_EQ(output()->status(), kFullListing);
}

TEST_F(OptionsTest, ListingGoesToTheLogOnlyWithOutputOptions) {
  ASSERT_EQ(Options_Set(options_, "output_options yes"), OPTIONS_APPLIED);
  output()->Clear();
  Options_Display(options_);
  EXPECT_EQ(output()->log(), output()->status());
  EXPECT_NE(output()->log().find("output_options yes\n"), std::string::npos);
}

TEST_F(OptionsTest, DefaultsUndoEverySetting) {
  const OptionsSnapshot defaults = TakeSnapshot();
  const char* lines[] = {"output no",         "cumulative_iteration_limit 0",
                         "fac_met dense",     "lemke_pivot_type devex",
                         "nms_memory_size 3", "infinity 1e10"};
  for (const char* line : lines) ASSERT_EQ(Options_Set(options_, line), OPTIONS_APPLIED) << line;
  EXPECT_FALSE(ChangedOptions(defaults, TakeSnapshot()).empty());
  Options_Default(options_);
  EXPECT_EQ(ChangedOptions(defaults, TakeSnapshot()), std::vector<std::string>{});
}

TEST_F(OptionsTest, DecompositionSizeLimitDependsOnTheSolverGroups) {
  EXPECT_EQ(Options_CommonDouble(COMMON_DECOMPOSITION_SIZE_LIMIT), 10000.0);
  Options* own = Sarn_CreateOptions();  // factorization and presolve groups only
  EXPECT_EQ(own->group_count, 2);
  Options_Default(own);
  EXPECT_EQ(Options_CommonDouble(COMMON_DECOMPOSITION_SIZE_LIMIT), 12.0);
  Options_Destroy(own);
}

TEST_F(OptionsTest, GroupsAreNumberedInOrderOfAddition) {
  ASSERT_EQ(options_->group_count, 4);
  EXPECT_EQ(options_->groups[0], &Factorization_OptionGroup);
  EXPECT_EQ(options_->groups[1], &Presolve_OptionGroup);
  EXPECT_EQ(options_->groups[2], &Sarn_OptionGroup);
  EXPECT_EQ(options_->groups[3], &Lemke_OptionGroup);
  const struct {
    const OptionGroup* group;
    int options;
    int types;
    void (*on_change)(int);
  } shapes[] = {{&Factorization_OptionGroup, 17, 4, Factorization_OptionChanged},
                {&Presolve_OptionGroup, 8, 3, nullptr},
                {&Sarn_OptionGroup, 66, 10, nullptr},
                {&Lemke_OptionGroup, 38, 5, nullptr}};
  for (const auto& s : shapes) {
    EXPECT_EQ(s.group->option_count, s.options);
    EXPECT_EQ(s.group->type_count, s.types);
    EXPECT_EQ(s.group->release, nullptr);
    EXPECT_EQ(s.group->on_change, s.on_change);
  }
  EXPECT_EQ(Factorization_OptionGroup.on_common_change, Factorization_CommonOptionChanged);
  EXPECT_EQ(Presolve_OptionGroup.on_common_change, Presolve_CommonOptionChanged);
  EXPECT_EQ(Sarn_OptionGroup.on_common_change, nullptr);
  EXPECT_EQ(Lemke_OptionGroup.on_common_change, Lemke_CommonOptionChanged);
}

// --- Names -----------------------------------------------------------------

TEST(OptionsMatchTest, AbbreviatedNamesMatchWordByWord) {
  const struct {
    const char* stored;
    const char* typed;
    int match;
  } cases[] = {
      {"crash_method", "cra_met", 1},
      {"crash_method", "crash_meth", 1},
      {"crash_method", "crashxyz_method", 1},
      {"crash_method", "cra_met none", 1},      // a value may follow the name
      {"crash_method", "cra_met\tnone", 1},
      {"crash_method", "cr_method", 0},         // two characters of the first word
      {"crash_method", "crash", 0},             // too few words
      {"crash_method", "crash_method_x", 0},    // too many words
      {"crash_method", "crash_method_", 0},
      {"crash_method", "crash_m", 0},
      {"crash_method", "CRA_MET", 0},           // exact comparison; callers lower-case
      {"crash_method", "", 0},
      {"crash_method", "_method", 0},
      {"presolve", "pre", 1},
      {"presolve", "pre no", 1},
      {"presolve", "pre_no", 0},
      {"presolve", "pr", 0},
      {"lemke_start", "lem_sta", 1},
      {"lemke_start", "lem_sta first", 1},
      {"nms", "nms", 1},
      {"nms", "nmsxyz", 1},
      {"nms", "nms_searchtype", 0},
      {"nms_searchtype", "nms", 0},
      {"ab_x", "ab_x", 1},                      // stored words shorter than three letters
      {"ab_x", "abc_xyz", 1},                   // a short stored word is compared whole
      {"ab_x", "a_x", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Options_MatchName(c.stored, c.typed), c.match)
        << "'" << c.typed << "' against " << c.stored;
  }
}

// Every option of every table, with its group number, as the plug-ins
// register them.
std::vector<std::pair<int, int>> AllOptions(const Options* options) {
  std::vector<std::pair<int, int>> all;
  for (int k = 0; k < COMMON_OPTION_COUNT; ++k) all.emplace_back(0, k);
  for (int g = 0; g < options->group_count; ++g) {
    for (int k = 0; k < options->groups[g]->option_count; ++k) all.emplace_back(g + 1, k);
  }
  return all;
}

TEST_F(OptionsTest, EveryFullNameFindsItsOwnOption) {
  int checked = 0;
  for (const auto& [group, index] : AllOptions(options_)) {
    const Option* option = Options_Lookup(options_, group, index);
    ASSERT_NE(option, nullptr);
    char text[160];
    std::snprintf(text, sizeof text, "%s", option->name);
    int found_group = -1, found_index = -1;
    ASSERT_EQ(Options_Find(options_, text, &found_group, &found_index), 1) << option->name;
    EXPECT_EQ(found_group, group) << option->name << " is shadowed by "
                                  << Options_Lookup(options_, found_group, found_index)->name;
    EXPECT_EQ(found_index, index) << option->name;
    ++checked;
  }
  EXPECT_EQ(checked, 51 + 17 + 8 + 66 + 38);
  EXPECT_EQ(output()->status(), "");
}

TEST_F(OptionsTest, ForcedLinesOfTheGatewaysSetTheirOptionsOnly) {
  const struct {
    const char* line;
    const char* option;
  } cases[] = {{"pre no", "presolve"},
               {"cra_met none", "crash_method"},
               {"cra_per no", "crash_perturb"},
               {"lem_sta first", "lemke_start"}};
  for (const auto& c : cases) {
    const OptionsSnapshot before = TakeSnapshot();
    EXPECT_EQ(Options_Set(options_, c.line), OPTIONS_APPLIED) << c.line;
    EXPECT_EQ(ChangedOptions(before, TakeSnapshot()), std::vector<std::string>{c.option})
        << c.line;
  }
  EXPECT_FALSE(Presolve_OptionBool(PRESOLVE));
  EXPECT_EQ(Sarn_OptionInt(SARN_CRASH_METHOD), CRASH_METHOD_NONE);
  EXPECT_FALSE(Sarn_OptionBool(SARN_CRASH_PERTURB));
  EXPECT_EQ(Sarn_OptionInt(SARN_LEMKE_START), LEMKE_START_FIRST);
  EXPECT_EQ(output()->status(),
            " > pre no\n > cra_met none\n > cra_per no\n > lem_sta first\n");
}

// An extra group whose option names collide with names already registered.
Option shadow_table[] = {
    Options_MakeOption("output", 1, OPTION_BOOLEAN),
    Options_MakeOption("presolve", 1, OPTION_BOOLEAN),
    Options_MakeOption("shadow_value", 1, OPTION_INTEGER),
};
OptionGroup shadow_group = {3, 3, shadow_table, [] { shadow_table[2].int_value = 7; },
                            nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

TEST_F(OptionsTest, FirstMatchWinsCommonTableThenGroupsInOrder) {
  Options_Add(options_, &shadow_group);
  Options_Default(options_);
  EXPECT_EQ(shadow_table[2].int_value, 7);
  shadow_table[0].bool_value = 1;
  shadow_table[1].bool_value = 1;
  int group = -1, index = -1;
  char output_name[] = "output";
  ASSERT_EQ(Options_Find(options_, output_name, &group, &index), 1);
  EXPECT_EQ(group, 0);
  char presolve_name[] = "presolve";
  ASSERT_EQ(Options_Find(options_, presolve_name, &group, &index), 1);
  EXPECT_EQ(group, 2);
  ASSERT_EQ(Options_Set(options_, "presolve no"), OPTIONS_APPLIED);
  EXPECT_FALSE(Presolve_OptionBool(PRESOLVE));
  EXPECT_EQ(shadow_table[1].bool_value, 1);
  ASSERT_EQ(Options_Set(options_, "sha_val 9"), OPTIONS_APPLIED);
  EXPECT_EQ(shadow_table[2].int_value, 9);
}

// --- Values ----------------------------------------------------------------

TEST_F(OptionsTest, ValueTextsOfEachType) {
  const struct {
    const char* line;
    bool valid;
    const char* option;  // checked through the by-name getter
    double expected;
  } cases[] = {
      {"return_best_point no", true, "return_best_point", 0},
      {"return_best_point Yes", true, "return_best_point", 1},
      {"output_warnings y", true, "output_warnings", 1},
      {"output_warnings 0", true, "output_warnings", 0},
      {"output_warnings 1", true, "output_warnings", 1},
      {"output_warnings never", true, "output_warnings", 0},
      {"output_warnings yellow", true, "output_warnings", 1},
      {"output_warnings true", false, "output_warnings", 1},
      {"major_iteration_limit 250", true, "major_iteration_limit", 250},
      {"major_iteration_limit 12abc", true, "major_iteration_limit", 12},
      {"major_iteration_limit -3", true, "major_iteration_limit", -3},
      {"major_iteration_limit +2147483647", true, "major_iteration_limit", 2147483647},
      {"major_iteration_limit -2147483648", true, "major_iteration_limit", -2147483648.0},
      {"major_iteration_limit 2147483648", false, "major_iteration_limit", -2147483648.0},
      {"major_iteration_limit -2147483649", false, "major_iteration_limit", -2147483648.0},
      {"major_iteration_limit 99999999999999999999", false, "major_iteration_limit",
       -2147483648.0},
      {"major_iteration_limit abc", false, "major_iteration_limit", -2147483648.0},
      {"major_iteration_limit 1.9", true, "major_iteration_limit", 1},
      {"time_limit 1e-8", true, "time_limit", 1e-8},
      {"time_limit 12.5 seconds", true, "time_limit", 12.5},
      {"time_limit .5", true, "time_limit", 0.5},
      {"time_limit 1e999", false, "time_limit", 0.5},
      {"time_limit nan", false, "time_limit", 0.5},
      {"time_limit fast", false, "time_limit", 0.5},
      {"time_limit 1e-400", true, "time_limit", 0.0},  // underflow gives zero
      {"time_limit inf", true, "time_limit", INFINITY},
      // Every bound would count as infinite, 0 included.
      {"infinity 0", false, "infinity", 1e20},
      {"infinity -1e20", false, "infinity", 1e20},
      {"infinity 1e25", true, "infinity", 1e25},
      {"crash_method smo", true, "crash_method", CRASH_METHOD_SMOOTH},
      {"crash_method Automatic", true, "crash_method", CRASH_METHOD_AUTOMATIC},
      {"crash_method fast", false, "crash_method", CRASH_METHOD_AUTOMATIC},
      {"lemke_pivot_type dev", true, "lemke_pivot_type", PIVOT_TYPE_DEVEX},
  };
  for (const auto& c : cases) {
    output()->Clear();
    EXPECT_EQ(Options_Set(options_, c.line), c.valid ? OPTIONS_APPLIED : OPTIONS_LINE_FAILED)
        << c.line;
    int group = 0, index = 0;
    char name[64];
    std::snprintf(name, sizeof name, "%s", c.option);
    ASSERT_EQ(Options_Find(options_, name, &group, &index), 1);
    const Option* option = Options_Lookup(options_, group, index);
    double value = option->type == OPTION_BOOLEAN  ? option->bool_value
                   : option->type == OPTION_DOUBLE ? option->double_value
                                                   : option->int_value;
    EXPECT_EQ(value, c.expected) << c.line;
    if (!c.valid) {
      EXPECT_EQ(output()->status(), "Options: Set: option invalid: " + std::string(c.line) + "\n");
    }
  }
}

TEST_F(OptionsTest, BadLinesAreReportedAndChangeNothing) {
  const char* lines[] = {
      "no_such_option 5",               // unknown name
      "crash_met_extra none",           // too many words
      "major_iteration_limit",          // no value
      "presolve=no",                    // name joined to its value
      "output 5",                       // boolean that is not one
      "major_iteration_limit yes",      // integer that is not one
      "time_limit soon",                // double that is not one
      "minor_iteration_limit 4294967296",  // beyond 32 bits
      "convergence_tolerance 1e400",    // beyond the doubles
      "crash_method quick",             // no such keyword
      "factorization_method de",        // two letters are not three
      "lemke_ray_type",                 // keyword missing
  };
  const OptionsSnapshot before = TakeSnapshot();
  for (const char* line : lines) {
    output()->Clear();
    EXPECT_EQ(Options_Set(options_, line), OPTIONS_LINE_FAILED) << line;
    EXPECT_EQ(output()->status(), "Options: Set: option invalid: " + std::string(line) + "\n");
    EXPECT_EQ(output()->log(), output()->status());
    EXPECT_EQ(output()->listing(), output()->status());
  }
  EXPECT_EQ(ChangedOptions(before, TakeSnapshot()), std::vector<std::string>{});
}

TEST_F(OptionsTest, ForcedLinesArePreparedBeforeUse) {
  const struct {
    const char* text;
    int result;
    const char* printed;
  } cases[] = {
      {"", 0, ""},
      {"   \t ", 0, ""},
      {"* a comment", 0, ""},
      {"   *major_iteration_limit 3", 0, ""},
      {"  Major_Iteration_Limit   250\n", 0, " > major_iteration_limit   250\n"},
      {"MAJ_ITE_LIM 7\nignored after the newline", 0, " > maj_ite_lim 7\n"},
      {"Bogus Line", 2, "Options: Set: option invalid: bogus line\n"},
  };
  for (const auto& c : cases) {
    output()->Clear();
    EXPECT_EQ(Options_Set(options_, c.text), c.result) << c.text;
    EXPECT_EQ(output()->status(), c.printed) << c.text;
  }
  EXPECT_EQ(Options_CommonInt(COMMON_MAJOR_ITERATION_LIMIT), 7);
  // A forced line is taken up to 1023 characters: the value behind that is lost.
  std::string long_line = "major_iteration_limit" + std::string(1002, ' ') + "5";
  ASSERT_EQ(long_line.size(), 1024u);
  EXPECT_EQ(Options_Set(options_, long_line.c_str()), OPTIONS_LINE_FAILED);
  EXPECT_EQ(Options_CommonInt(COMMON_MAJOR_ITERATION_LIMIT), 7);
}

// --- Cascades ---------------------------------------------------------------

TEST_F(OptionsTest, CascadesOfTheOptionLines) {
  const struct {
    std::vector<const char*> lines;
    std::vector<std::string> changed;  // in table order
  } cases[] = {
      {{"output no"},
       {"output", "output_errors", "output_major_iterations", "output_minor_iterations",
        "output_crash_iterations", "output_nms_iterations", "output_initial_point_statistics",
        "output_initial_scaling_statistics", "output_final_statistics",
        "output_final_point_statistics", "output_final_summary", "output_restart_log",
        "output_presolve_level"}},
      // Switching output on again restores nothing.
      {{"output no", "output yes"},
       {"output_errors", "output_major_iterations", "output_minor_iterations",
        "output_crash_iterations", "output_nms_iterations", "output_initial_point_statistics",
        "output_initial_scaling_statistics", "output_final_statistics",
        "output_final_point_statistics", "output_final_summary", "output_restart_log",
        "output_presolve_level"}},
      {{"output_model_statistics no"},
       {"output_model_statistics", "output_initial_point_statistics",
        "output_initial_scaling_statistics", "output_final_statistics",
        "output_final_point_statistics"}},
      {{"output_model_statistics yes"},
       {"output_initial_statistics", "output_final_scaling_statistics",
        "output_final_degeneracy_statistics", "output_factorization_singularities"}},
      {{"cumulative_iteration_limit 0"},
       {"major_iteration_limit", "minor_iteration_limit", "crash_iteration_limit",
        "crash_minor_iteration_limit", "cumulative_iteration_limit", "presolve",
        "lemke_maximum_iteration_limit"}},
      {{"cumulative_iteration_limit 200"},
       {"minor_iteration_limit", "cumulative_iteration_limit", "lemke_maximum_iteration_limit"}},
      {{"cumulative_iteration_limit 5000"},
       {"cumulative_iteration_limit", "lemke_maximum_iteration_limit"}},
      {{"cumulative_iteration_limit 20000"}, {"cumulative_iteration_limit"}},
      // Only the cumulative limit lowers the minor limit.
      {{"minor_iteration_limit 50000"}, {"minor_iteration_limit"}},
  };
  for (const auto& c : cases) {
    Options_Default(options_);
    const OptionsSnapshot before = TakeSnapshot();
    for (const char* line : c.lines)
      ASSERT_EQ(Options_Set(options_, line), OPTIONS_APPLIED) << line;
    EXPECT_EQ(ChangedOptions(before, TakeSnapshot()), c.changed) << c.lines.front();
  }
  Options_Default(options_);
  ASSERT_EQ(Options_Set(options_, "cumulative_iteration_limit 200"), OPTIONS_APPLIED);
  EXPECT_EQ(Options_CommonInt(COMMON_MINOR_ITERATION_LIMIT), 200);
  EXPECT_EQ(Lemke_OptionInt(LEMKE_MAXIMUM_ITERATION_LIMIT), 200);
  EXPECT_EQ(Options_CommonInt(COMMON_MAJOR_ITERATION_LIMIT), 500);
}

TEST_F(OptionsTest, OutputNoSwitchesEveryOutputOptionOffAndSilencesTheEcho) {
  ASSERT_EQ(Options_Set(options_, "output_initial_point yes"), OPTIONS_APPLIED);
  ASSERT_EQ(Options_Set(options_, "output_hidden_options yes"), OPTIONS_APPLIED);
  ASSERT_EQ(Options_Set(options_, "output_factorization_updates yes"), OPTIONS_APPLIED);
  ASSERT_EQ(Options_Set(options_, "output_linear_model yes"), OPTIONS_APPLIED);
  output()->Clear();
  ASSERT_EQ(Options_Set(options_, "output no"), OPTIONS_APPLIED);
  ASSERT_EQ(Options_Set(options_, "major_iteration_limit 3"), OPTIONS_APPLIED);
  EXPECT_EQ(output()->status(), "");  // neither line is echoed
  for (int k = COMMON_OUTPUT; k <= COMMON_OUTPUT_HIDDEN_OPTIONS; ++k) {
    if (Options_CommonTable[k].type == OPTION_BOOLEAN && k != COMMON_OUTPUT_MODEL_STATISTICS) {
      EXPECT_FALSE(Options_CommonBool(k)) << Options_CommonTable[k].name;
    }
  }
  EXPECT_FALSE(Factorization_OptionBool(OUTPUT_FACTORIZATION_UPDATES));
  EXPECT_FALSE(Factorization_OptionBool(OUTPUT_FACTORIZATION_SINGULARITIES));
  EXPECT_FALSE(Lemke_OptionBool(OUTPUT_LINEAR_MODEL));
  EXPECT_EQ(Presolve_OptionInt(OUTPUT_PRESOLVE_LEVEL), 0);
  // Bad lines are still reported.
  EXPECT_EQ(Options_Set(options_, "bogus 1"), OPTIONS_LINE_FAILED);
  EXPECT_EQ(output()->status(), "Options: Set: option invalid: bogus 1\n");
}

TEST_F(OptionsTest, StatisticsBlockSwitchesFactorizationSingularitiesOn) {
  ASSERT_EQ(Options_Set(options_, "output_model_statistics no"), OPTIONS_APPLIED);
  EXPECT_FALSE(Factorization_OptionBool(OUTPUT_FACTORIZATION_SINGULARITIES));
  ASSERT_EQ(Options_Set(options_, "output_model_statistics yes"), OPTIONS_APPLIED);
  EXPECT_TRUE(Factorization_OptionBool(OUTPUT_FACTORIZATION_SINGULARITIES));
  // The point switches belong to no block.
  EXPECT_FALSE(Options_CommonBool(COMMON_OUTPUT_INITIAL_POINT));
  EXPECT_FALSE(Options_CommonBool(COMMON_OUTPUT_FINAL_POINT));
}

// --- By name -----------------------------------------------------------------

TEST_F(OptionsTest, SettersByNameCheckNameAndType) {
  const struct {
    int (*set)(Options*);
    int result;
    const char* printed;
  } cases[] = {
      {[](Options* o) { return Options_SetBoolean(o, "Nms", 0); }, OPTIONS_STORED, ""},
      {[](Options* o) { return Options_SetInt(o, "nms_mem_siz", 4); }, OPTIONS_STORED, ""},
      {[](Options* o) { return Options_SetDouble(o, "infinity", 1e30); }, OPTIONS_STORED, ""},
      {[](Options* o) { return Options_SetOther(o, "linear_scale_method", SCALE_METHOD_RO4); },
       OPTIONS_STORED, ""},
      {[](Options* o) { return Options_SetBoolean(o, "nothing_here", 1); }, OPTIONS_NOT_FOUND,
       "Options: Find: invalid options: nothing_here\n"},
      {[](Options* o) { return Options_SetInt(o, "  ", 1); }, OPTIONS_NOT_FOUND,
       "Options: Find: invalid options: \n"},
      {[](Options* o) { return Options_SetBoolean(o, "time_limit", 1); }, OPTIONS_WRONG_TYPE,
       "Options: SetBoolean: invalid type.\n"},
      {[](Options* o) { return Options_SetInt(o, "time_limit", 1); }, OPTIONS_WRONG_TYPE,
       "Options: SetInt: invalid type.\n"},
      {[](Options* o) { return Options_SetDouble(o, "major_iteration_limit", 1.0); },
       OPTIONS_WRONG_TYPE, "Options: SetDouble: invalid type.\n"},
      {[](Options* o) { return Options_SetOther(o, "output", 1); }, OPTIONS_WRONG_TYPE,
       "Options: SetOther: invalid type.\n"},
      {[](Options* o) { return Options_SetOther(o, "nms_memory_size", 1); }, OPTIONS_WRONG_TYPE,
       "Options: SetOther: invalid type.\n"},
      // Codes outside the enumeration are refused.
      {[](Options* o) { return Options_SetOther(o, "crash_method", CRASH_METHOD_COUNT); },
       OPTIONS_WRONG_TYPE, "Options: SetOther: invalid value.\n"},
      {[](Options* o) { return Options_SetOther(o, "lemke_ray_type", -1); }, OPTIONS_WRONG_TYPE,
       "Options: SetOther: invalid value.\n"},
      {[](Options* o) { return Options_SetOther(o, "recovery_method", 1); }, OPTIONS_WRONG_TYPE,
       "Options: SetOther: invalid value.\n"},
      // Doubles the option lines refuse are refused by name too.
      {[](Options* o) { return Options_SetDouble(o, "convergence_tolerance", NAN); },
       OPTIONS_WRONG_TYPE, "Options: SetDouble: invalid value.\n"},
      {[](Options* o) { return Options_SetDouble(o, "infinity", 0.0); }, OPTIONS_WRONG_TYPE,
       "Options: SetDouble: invalid value.\n"},
  };
  for (size_t k = 0; k < sizeof cases / sizeof cases[0]; ++k) {
    output()->Clear();
    EXPECT_EQ(cases[k].set(options_), cases[k].result) << "case " << k;
    EXPECT_EQ(output()->status(), cases[k].printed) << "case " << k;
    if (*cases[k].printed != '\0') {
      EXPECT_EQ(output()->log(), cases[k].printed);
    }
  }
  const OptionsSnapshot after = TakeSnapshot();
  Options_Default(options_);
  EXPECT_EQ(ChangedOptions(TakeSnapshot(), after),
            (std::vector<std::string>{"infinity", "nms", "nms_memory_size", "linear_scale_method"}));
  Options_Display(options_);
  EXPECT_EQ(output()->status().find("crash_method 5"), std::string::npos);
}

TEST_F(OptionsTest, SettersByNameApplyCascadesAndHooks) {
  ASSERT_EQ(Options_SetInt(options_, "cumulative_iteration_limit", 0), OPTIONS_STORED);
  EXPECT_EQ(Options_CommonInt(COMMON_MAJOR_ITERATION_LIMIT), 0);
  EXPECT_FALSE(Presolve_OptionBool(PRESOLVE));
  EXPECT_EQ(Lemke_OptionInt(LEMKE_MAXIMUM_ITERATION_LIMIT), 0);

  Options_Default(options_);
  ASSERT_EQ(Options_SetBoolean(options_, "output_linear_model", 1), OPTIONS_STORED);
  ASSERT_EQ(Options_SetBoolean(options_, "output", 0), OPTIONS_STORED);
  EXPECT_FALSE(Options_CommonBool(COMMON_OUTPUT_ERRORS));
  EXPECT_FALSE(Lemke_OptionBool(OUTPUT_LINEAR_MODEL));
  EXPECT_FALSE(Factorization_OptionBool(OUTPUT_FACTORIZATION_SINGULARITIES));
  // By name, output no leaves the restart log and the presolve level.
  EXPECT_TRUE(Options_CommonBool(COMMON_OUTPUT_RESTART_LOG));
  EXPECT_EQ(Presolve_OptionInt(OUTPUT_PRESOLVE_LEVEL), 1);

  Options_Default(options_);
  ASSERT_EQ(Options_SetBoolean(options_, "output_model_statistics", 7), OPTIONS_STORED);
  EXPECT_EQ(Options_CommonTable[COMMON_OUTPUT_MODEL_STATISTICS].bool_value, 1);
  EXPECT_TRUE(Factorization_OptionBool(OUTPUT_FACTORIZATION_SINGULARITIES));
}

TEST_F(OptionsTest, GettersByNameReturnTheFieldAskedFor) {
  Options_CommonTable[COMMON_TIME_LIMIT].int_value = 42;  // unused field of a double
  const struct {
    double (*get)(Options*);
    double value;
    const char* printed;
  } cases[] = {
      {[](Options* o) { return double(Options_GetBoolean(o, "output")); }, 1, ""},
      {[](Options* o) { return double(Options_GetInt(o, "maj_ite_lim")); }, 500, ""},
      {[](Options* o) { return Options_GetDouble(o, "con_tol"); }, 1e-6, ""},
      {[](Options* o) { return double(Options_GetOther(o, "lemke_pivot_type")); },
       PIVOT_TYPE_EXPAND, ""},
      {[](Options* o) { return double(Options_GetInt(o, "time_limit")); }, 42,
       "Options: GetInt: invalid type.\n"},
      {[](Options* o) { return Options_GetDouble(o, "output"); }, 0,
       "Options: GetDouble: invalid type.\n"},
      {[](Options* o) { return double(Options_GetBoolean(o, "time_limit")); }, 0,
       "Options: GetBoolean: invalid type.\n"},
      {[](Options* o) { return double(Options_GetOther(o, "nms_memory_size")); }, 10,
       "Options: GetOther: invalid type.\n"},
      {[](Options* o) { return Options_GetDouble(o, "unknown_name"); }, 0,
       "Options: Find: invalid options: unknown_name\n"},
  };
  for (size_t k = 0; k < sizeof cases / sizeof cases[0]; ++k) {
    output()->Clear();
    EXPECT_EQ(cases[k].get(options_), cases[k].value) << "case " << k;
    EXPECT_EQ(output()->status(), cases[k].printed) << "case " << k;
  }
}

TEST_F(OptionsTest, NamesByValueAreTakenUpTo1023Characters) {
  std::string name = "major_iteration_limit" + std::string(1002, ' ') + "x";
  // The tail is cut before lookup.
  EXPECT_EQ(Options_SetInt(options_, name.c_str(), 9), OPTIONS_STORED);
  EXPECT_EQ(Options_CommonInt(COMMON_MAJOR_ITERATION_LIMIT), 9);
  std::string long_name(5000, 'a');
  EXPECT_EQ(Options_SetInt(options_, long_name.c_str(), 9), OPTIONS_NOT_FOUND);
  EXPECT_EQ(output()->status(), "Options: Find: invalid options: " + long_name.substr(0, 1023) + "\n");
}

// --- Hooks -------------------------------------------------------------------

std::vector<std::string> hook_calls;

Option hooked_table[] = {
    Options_MakeOption("hooked_flag", 1, OPTION_BOOLEAN),
    Options_MakeOption("hooked_count", 1, OPTION_INTEGER),
    Options_MakeOption("hooked_scale", 1, OPTION_DOUBLE),
    Options_MakeOption("hooked_colour", 1, 3),
};
const OptionKeyword hooked_keywords[2] = {"red", "green"};
OptionPrinter hooked_printers[4] = {
    nullptr, nullptr, nullptr,
    [](int mode, int index) {
      Options_PrintKeyword(mode, hooked_table[index], hooked_keywords, 2);
    }};
OptionParser hooked_parsers[4] = {
    nullptr, nullptr, nullptr,
    [](const char* text, int* code) { return Options_ParseKeyword(text, hooked_keywords, 2, code); }};
const std::int32_t hooked_counts[4] = {0, 0, 0, 2};

OptionGroup first_hooked = {
    4,       4,
    hooked_table,
    [] { hook_calls.push_back("defaults"); },
    nullptr, hooked_printers,
    hooked_parsers,
    [](int index) { hook_calls.push_back("change " + std::to_string(index)); },
    [](int index) { hook_calls.push_back("first common " + std::to_string(index)); },
    hooked_counts};
Option empty_table[1] = {Options_MakeOption("unused_entry", 0, OPTION_BOOLEAN)};
OptionGroup second_hooked = {
    0,       3,       empty_table, [] {}, nullptr, nullptr, nullptr, nullptr,
    [](int index) { hook_calls.push_back("second common " + std::to_string(index)); },
    nullptr};

TEST_F(OptionsTest, HooksFollowValidSettingsOnly) {
  Options_Add(options_, &first_hooked);
  Options_Add(options_, &second_hooked);
  hook_calls.clear();
  Options_Default(options_);
  EXPECT_EQ(hook_calls, std::vector<std::string>{"defaults"});  // defaults call no hook

  const struct {
    const char* line;
    std::vector<std::string> calls;
  } cases[] = {
      {"time_limit 5", {"first common 7", "second common 7"}},
      {"output_warnings yes", {"first common 23", "second common 23"}},
      {"major_iteration_limit 5", {"first common 2", "second common 2"}},
      {"hooked_flag yes", {"change 0"}},
      {"hooked_count 4", {"change 1"}},
      {"hooked_scale 0.5", {"change 2"}},
      {"hooked_colour gre", {"change 3"}},
      {"presolve no", {}},  // a group option calls only its own group's hook
      {"time_limit never", {}},
      {"hooked_count many", {}},
      {"hooked_colour blue", {}},
  };
  for (const auto& c : cases) {
    hook_calls.clear();
    Options_Set(options_, c.line);
    EXPECT_EQ(hook_calls, c.calls) << c.line;
  }
  hook_calls.clear();
  EXPECT_EQ(Options_SetOther(options_, "hooked_colour", 0), OPTIONS_STORED);
  EXPECT_EQ(Options_SetDouble(options_, "chen_lambda", 0.5), OPTIONS_STORED);
  EXPECT_EQ(Options_SetOther(options_, "hooked_colour", 2), OPTIONS_WRONG_TYPE);
  EXPECT_EQ(hook_calls,
            (std::vector<std::string>{"change 3", "first common 11", "second common 11"}));
  output()->Clear();
  Options_Display(options_);
  EXPECT_NE(output()->status().find(
                "hooked_flag yes\nhooked_count 4\nhooked_scale 0.5\nhooked_colour red\n"),
            std::string::npos);
}

// --- Registration ---------------------------------------------------------------

Option lone_table[] = {Options_MakeOption("lone_option", 1, OPTION_INTEGER)};
OptionGroup lone_groups[11];

TEST_F(OptionsTest, AnEleventhGroupGrowsTheArrayByTen) {
  Options* own = Sarn_CreateOptions();
  EXPECT_EQ(own->capacity, 10);
  for (int k = 0; k < 9; ++k) {
    lone_groups[k] = {1, 3, lone_table, [] {}, nullptr, nullptr, nullptr, nullptr, nullptr,
                      nullptr};
    EXPECT_EQ(Options_Add(own, &lone_groups[k]), k + 3);
  }
  EXPECT_EQ(own->capacity, 20);
  EXPECT_EQ(own->group_count, 11);
  EXPECT_EQ(own->groups[0], &Factorization_OptionGroup);
  EXPECT_EQ(own->groups[1], &Presolve_OptionGroup);
  for (int k = 0; k < 9; ++k) EXPECT_EQ(own->groups[k + 2], &lone_groups[k]);
  Options_Default(own);
  Options_Destroy(own);
}

TEST(OptionsDeathTest, RegistrationFaultsAreFatal) {
  static Option table[] = {Options_MakeOption("some_option", 1, OPTION_BOOLEAN)};
  static OptionGroup no_defaults = {1, 3, table, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr};
  static OptionGroup no_table = {1, 3, nullptr, [] {}, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr};
  static OptionGroup fine = {1, 3, table, [] {}, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr};
  Options* options = Sarn_CreateOptions();
  EXPECT_EXIT(Options_Add(nullptr, &fine), ::testing::ExitedWithCode(255),
              "  \\*\\* FATAL ERROR \\*\\*\nOptions\\([0-9]+\\): Add: null argument\n");
  EXPECT_EXIT(Options_Add(options, nullptr), ::testing::ExitedWithCode(255),
              "Options\\([0-9]+\\): Add: null argument\n");
  EXPECT_EXIT(Options_Add(options, &no_defaults), ::testing::ExitedWithCode(255),
              "Options\\([0-9]+\\): Add: null element\n");
  EXPECT_EXIT(Options_Add(options, &no_table), ::testing::ExitedWithCode(255),
              "Options\\([0-9]+\\): Add: null element\n");
  EXPECT_EXIT(Options_Default(nullptr), ::testing::ExitedWithCode(255),
              "Options\\([0-9]+\\): Default: null argument\n");
  EXPECT_EQ(options->group_count, 2);
  Options_Destroy(options);
}

TEST_F(OptionsTest, ListingAnOptionOfAnUnknownTypeIsASolverError) {
  // Types beyond the group's count, below zero, or without a printer.
  static OptionPrinter printers[4] = {nullptr, nullptr, nullptr, nullptr};
  static Option tables[3][1] = {{Options_MakeOption("odd_option", 1, 5)},
                                {Options_MakeOption("odd_option", 1, -1)},
                                {Options_MakeOption("odd_option", 1, 3)}};
  for (auto& table : tables) {
    OptionGroup odd = {1, 4, table, [] {}, nullptr, printers, nullptr, nullptr, nullptr, nullptr};
    Options* own = Sarn_CreateOptions();
    Options_Add(own, &odd);
    output()->Clear();
    EXPECT_SOLVER_ERROR(Options_Display(own), "): Display: invalid type\n");
    EXPECT_TRUE(std::regex_search(output()->status(),
                                  std::regex("Options\\([0-9]+\\): Display: invalid type\n")));
    EXPECT_EQ(Options_Set(own, "odd_option x"), OPTIONS_LINE_FAILED);
    EXPECT_EQ(Options_SetOther(own, "odd_option", 0), OPTIONS_WRONG_TYPE);
    Options_Destroy(own);
  }
}

TEST_F(OptionsTest, ReleaseFunctionsRunWhenTheObjectGoes) {
  static std::vector<int> released;
  static Option table[] = {Options_MakeOption("released_option", 1, OPTION_BOOLEAN)};
  static OptionGroup a = {1, 3, table, [] {}, [] { released.push_back(1); }, nullptr, nullptr,
                          nullptr, nullptr, nullptr};
  static OptionGroup b = {1, 3, table, [] {}, [] { released.push_back(2); }, nullptr, nullptr,
                          nullptr, nullptr, nullptr};
  released.clear();
  Options* own = Sarn_CreateOptions();
  Options_Add(own, &a);
  Options_Add(own, &b);
  Options_Destroy(own);
  EXPECT_EQ(released, (std::vector<int>{1, 2}));
  Options_Destroy(nullptr);
}

}  // namespace
