// The common option table: limits and tolerances of the whole solve, the
// output switches and settings shared by several modules.
#include <cmath>

#include "core/Options.hpp"

namespace {

constexpr std::int32_t LISTED = 1;
constexpr std::int32_t HIDDEN = 0;

constexpr auto Entry = Options_MakeOption;

}  // namespace

Option Options_CommonTable[COMMON_OPTION_COUNT] = {
    Entry("infinity", HIDDEN, OPTION_DOUBLE),
    Entry("convergence_tolerance", LISTED, OPTION_DOUBLE),
    Entry("major_iteration_limit", LISTED, OPTION_INTEGER),
    Entry("minor_iteration_limit", LISTED, OPTION_INTEGER),
    Entry("crash_iteration_limit", LISTED, OPTION_INTEGER),
    Entry("crash_minor_iteration_limit", HIDDEN, OPTION_INTEGER),
    Entry("cumulative_iteration_limit", LISTED, OPTION_INTEGER),
    Entry("time_limit", LISTED, OPTION_DOUBLE),
    Entry("restart_limit", HIDDEN, OPTION_INTEGER),
    Entry("interrupt_limit", LISTED, OPTION_INTEGER),
    Entry("return_best_point", HIDDEN, OPTION_BOOLEAN),
    Entry("chen_lambda", LISTED, OPTION_DOUBLE),
    Entry("jacobian_smoothing", HIDDEN, OPTION_DOUBLE),
    Entry("decomposition_size_limit", HIDDEN, OPTION_DOUBLE),
    Entry("gmres_update_frequency", HIDDEN, OPTION_INTEGER),
    Entry("ilu_drop_tolerance", HIDDEN, OPTION_DOUBLE),
    Entry("ilu_perturbation", HIDDEN, OPTION_DOUBLE),
    Entry("ilu_perturbation_initial_value", HIDDEN, OPTION_DOUBLE),
    Entry("ilu_perturbation_small_value", HIDDEN, OPTION_DOUBLE),
    Entry("ilu_perturbation_increase_factor", HIDDEN, OPTION_DOUBLE),
    Entry("ilu_perturbation_decrease_factor", HIDDEN, OPTION_DOUBLE),
    Entry("output", LISTED, OPTION_BOOLEAN),
    Entry("output_errors", LISTED, OPTION_BOOLEAN),
    Entry("output_warnings", LISTED, OPTION_BOOLEAN),
    Entry("output_major_iterations", LISTED, OPTION_BOOLEAN),
    Entry("output_major_iterations_frequency", LISTED, OPTION_INTEGER),
    Entry("output_minor_iterations", LISTED, OPTION_BOOLEAN),
    Entry("output_minor_iterations_frequency", LISTED, OPTION_INTEGER),
    Entry("output_crash_iterations", LISTED, OPTION_BOOLEAN),
    Entry("output_crash_iterations_frequency", LISTED, OPTION_INTEGER),
    Entry("output_nms_iterations", HIDDEN, OPTION_BOOLEAN),
    Entry("output_nms_iterations_frequency", HIDDEN, OPTION_INTEGER),
    Entry("output_model_statistics", HIDDEN, OPTION_BOOLEAN),
    Entry("output_initial_point", LISTED, OPTION_BOOLEAN),
    Entry("output_initial_statistics", LISTED, OPTION_BOOLEAN),
    Entry("output_initial_point_statistics", LISTED, OPTION_BOOLEAN),
    Entry("output_initial_scaling_statistics", LISTED, OPTION_BOOLEAN),
    Entry("output_final_point", LISTED, OPTION_BOOLEAN),
    Entry("output_final_statistics", LISTED, OPTION_BOOLEAN),
    Entry("output_final_point_statistics", LISTED, OPTION_BOOLEAN),
    Entry("output_final_scaling_statistics", LISTED, OPTION_BOOLEAN),
    Entry("output_final_degeneracy_statistics", LISTED, OPTION_BOOLEAN),
    Entry("output_final_summary", LISTED, OPTION_BOOLEAN),
    Entry("output_maximum_zero_log", LISTED, OPTION_INTEGER),
    Entry("output_maximum_zero_listing", LISTED, OPTION_INTEGER),
    Entry("output_restart_log", LISTED, OPTION_BOOLEAN),
    Entry("output_options", LISTED, OPTION_BOOLEAN),
    Entry("output_hidden_options", HIDDEN, OPTION_BOOLEAN),
    Entry("nonlinear_model_use_start", HIDDEN, OPTION_BOOLEAN),
    Entry("project_start", HIDDEN, OPTION_BOOLEAN),
    Entry("check_skew_symmetry", HIDDEN, OPTION_BOOLEAN),
};

void Options_CommonDefaults() {
  const double eps = std::pow(2.0, -52.0);
  Option* t = Options_CommonTable;
  t[COMMON_INFINITY].double_value = 1e20;
  t[COMMON_CONVERGENCE_TOLERANCE].double_value = 1e-6;
  t[COMMON_MAJOR_ITERATION_LIMIT].int_value = 500;
  t[COMMON_MINOR_ITERATION_LIMIT].int_value = 1000;
  t[COMMON_CRASH_ITERATION_LIMIT].int_value = 50;
  t[COMMON_CRASH_MINOR_ITERATION_LIMIT].int_value = 10;
  t[COMMON_CUMULATIVE_ITERATION_LIMIT].int_value = 10000;
  t[COMMON_TIME_LIMIT].double_value = 3600.0;
  t[COMMON_RESTART_LIMIT].int_value = 10;
  t[COMMON_INTERRUPT_LIMIT].int_value = 5;
  t[COMMON_RETURN_BEST_POINT].bool_value = 1;
  t[COMMON_CHEN_LAMBDA].double_value = 0.8;
  t[COMMON_JACOBIAN_SMOOTHING].double_value = 0.01;
  t[COMMON_DECOMPOSITION_SIZE_LIMIT].double_value = 12.0;
  t[COMMON_GMRES_UPDATE_FREQUENCY].int_value = 100;
  t[COMMON_ILU_DROP_TOLERANCE].double_value = std::pow(eps, 0.9);
  t[COMMON_ILU_PERTURBATION].double_value = 0.0;
  t[COMMON_ILU_PERTURBATION_INITIAL_VALUE].double_value = 1.0;
  t[COMMON_ILU_PERTURBATION_SMALL_VALUE].double_value = 1e-8;
  t[COMMON_ILU_PERTURBATION_INCREASE_FACTOR].double_value = 10.0;
  t[COMMON_ILU_PERTURBATION_DECREASE_FACTOR].double_value = 0.1;
  t[COMMON_OUTPUT].bool_value = 1;
  t[COMMON_OUTPUT_ERRORS].bool_value = 1;
  t[COMMON_OUTPUT_WARNINGS].bool_value = 0;
  t[COMMON_OUTPUT_MAJOR_ITERATIONS].bool_value = 1;
  t[COMMON_OUTPUT_MAJOR_ITERATIONS_FREQUENCY].int_value = 1;
  t[COMMON_OUTPUT_MINOR_ITERATIONS].bool_value = 1;
  t[COMMON_OUTPUT_MINOR_ITERATIONS_FREQUENCY].int_value = 500;
  t[COMMON_OUTPUT_CRASH_ITERATIONS].bool_value = 1;
  t[COMMON_OUTPUT_CRASH_ITERATIONS_FREQUENCY].int_value = 1;
  t[COMMON_OUTPUT_NMS_ITERATIONS].bool_value = 1;
  t[COMMON_OUTPUT_NMS_ITERATIONS_FREQUENCY].int_value = 500;
  t[COMMON_OUTPUT_MODEL_STATISTICS].bool_value = 1;
  t[COMMON_OUTPUT_INITIAL_POINT].bool_value = 0;
  t[COMMON_OUTPUT_INITIAL_STATISTICS].bool_value = 0;
  t[COMMON_OUTPUT_INITIAL_POINT_STATISTICS].bool_value = 1;
  t[COMMON_OUTPUT_INITIAL_SCALING_STATISTICS].bool_value = 1;
  t[COMMON_OUTPUT_FINAL_POINT].bool_value = 0;
  t[COMMON_OUTPUT_FINAL_STATISTICS].bool_value = 1;
  t[COMMON_OUTPUT_FINAL_POINT_STATISTICS].bool_value = 1;
  t[COMMON_OUTPUT_FINAL_SCALING_STATISTICS].bool_value = 0;
  t[COMMON_OUTPUT_FINAL_DEGENERACY_STATISTICS].bool_value = 0;
  t[COMMON_OUTPUT_FINAL_SUMMARY].bool_value = 1;
  t[COMMON_OUTPUT_MAXIMUM_ZERO_LOG].int_value = 10;
  t[COMMON_OUTPUT_MAXIMUM_ZERO_LISTING].int_value = 1000;
  t[COMMON_OUTPUT_RESTART_LOG].bool_value = 1;
  t[COMMON_OUTPUT_OPTIONS].bool_value = 0;
  t[COMMON_OUTPUT_HIDDEN_OPTIONS].bool_value = 0;
  t[COMMON_NONLINEAR_MODEL_USE_START].bool_value = 1;
  t[COMMON_PROJECT_START].bool_value = 1;
  t[COMMON_CHECK_SKEW_SYMMETRY].bool_value = 0;
}

namespace {
// The table holds its defaults from the moment the library is loaded, so
// services that read it (error modes, interrupt limit) work before any
// Options object exists.
struct CommonDefaultsAtLoad {
  CommonDefaultsAtLoad() { Options_CommonDefaults(); }
} common_defaults_at_load;
}  // namespace
