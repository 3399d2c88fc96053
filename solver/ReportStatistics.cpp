// Report sections: the point, model statistics, point statistics, scaling
// statistics and degeneracy statistics of the reduced problem at a point.
#include <cmath>
#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "core/SparseMatrix.hpp"
#include "core/Workspace.hpp"
#include "problems/MCP.hpp"
#include "problems/Residual.hpp"
#include "solver/Report_internal.hpp"

namespace {

constexpr int kNameLength = 256;

struct Name {
  char text[kNameLength];
};

Name VariableName(MCP* mcp, int i) {
  Name name{};
  if (i >= 1) MCP_VariableName(mcp, i, name.text, kNameLength);
  name.text[kNameLength - 1] = '\0';
  return name;
}

Name ConstraintName(MCP* mcp, int i) {
  Name name{};
  if (i >= 1) MCP_ConstraintName(mcp, i, name.text, kNameLength);
  name.text[kNameLength - 1] = '\0';
  return name;
}

// The problem data of a section as plain arrays (element i at offset i - 1).
struct Data {
  std::int32_t n;
  const double* l;
  const double* u;
  const double* x;
  const double* F;
  SparseMatrix_ColumnView J;
  double inf;
};

Data Read(const ReportContext& c) {
  return {MCP_Variables(c.mcp),
          DenseVector_Array(MCP_Lower(c.mcp)),
          DenseVector_Array(MCP_Upper(c.mcp)),
          DenseVector_Array(c.x),
          DenseVector_Array(FunctionJacobian_Function(c.FJ)),
          SparseMatrix_Columns(FunctionJacobian_Jacobian(c.FJ)),
          Options_CommonDouble(COMMON_INFINITY)};
}

// Writes "Zero column of order" / "Zero row of order" lines: the first
// output_maximum_zero_log on the section's streams, the next ones up to
// output_maximum_zero_listing lines in all on the listing stream only.
class ZeroLines {
 public:
  explicit ZeroLines(const ReportContext& c) : context_(c) {
    log_limit_ = Options_CommonInt(COMMON_OUTPUT_MAXIMUM_ZERO_LOG);
    listing_limit_ = Options_CommonInt(COMMON_OUTPUT_MAXIMUM_ZERO_LISTING);
  }
  void Write(const char* kind, int order, const char* name) {
    count_ += 1;
    int mode = 0;
    if (count_ <= log_limit_) {
      mode = context_.mode;
    } else if (count_ <= listing_limit_) {
      mode = context_.mask & OUTPUT_LISTING;
    }
    if (mode != 0) Output_Printf(mode, "Zero %s of order %d (%s)\n", kind, order, name);
  }

 private:
  const ReportContext& context_;
  int log_limit_ = 0;
  int listing_limit_ = 0;
  int count_ = 0;
};

// Largest and smallest value over 1..n of measure(i), with their indices
// (the first of equals; 0 when n is 0).
template <class Measure>
void Extremes(std::int32_t n, Measure measure, double* largest, int* at_largest, double* smallest,
              int* at_smallest) {
  *largest = 0.0;
  *smallest = 0.0;
  *at_largest = 0;
  *at_smallest = 0;
  for (std::int32_t i = 1; i <= n; ++i) {
    const double v = measure(i);
    if (*at_largest == 0 || v > *largest) {
      *largest = v;
      *at_largest = i;
    }
    if (*at_smallest == 0 || v < *smallest) {
      *smallest = v;
      *at_smallest = i;
    }
  }
}

void ResidualLine(const ReportContext& c, const char* label, int code) {
  double two = 0.0;
  double largest = 0.0;
  int index = 0;
  MCP_Residual(c.mcp, code, RESIDUAL_TWO_NORM, MCP_Lower(c.mcp), MCP_Upper(c.mcp), c.x, c.FJ, &two,
               &index);
  MCP_Residual(c.mcp, code, RESIDUAL_INFINITY_NORM, MCP_Lower(c.mcp), MCP_Upper(c.mcp), c.x, c.FJ,
               &largest, &index);
  Output_Printf(c.mode, "%s%.4e (two-norm) %.4e (inf-norm) eqn: (%s)\n", label, two, largest,
                ConstraintName(c.mcp, index).text);
}

}  // namespace

void Report_Point(const ReportContext& c) {
  const Data d = Read(c);
  Output_Printf(c.mode, "\n%s Point\n", c.title);
  Output_Printf(c.mode, "    i name                      lower           level           upper"
                        "               F\n");
  for (std::int32_t i = 0; i < d.n; ++i) {
    Output_Printf(c.mode, "%5d %-15.15s % .8e % .8e % .8e % .8e\n", i + 1,
                  VariableName(c.mcp, i + 1).text, d.l[i], d.x[i], d.u[i], d.F[i]);
  }
}

void Report_ModelStatistics(const ReportContext& c) {
  const Data d = Read(c);
  std::int32_t lower = 0, upper = 0, boxed = 0, free = 0, fixed = 0;
  for (std::int32_t i = 0; i < d.n; ++i) {
    const bool has_l = d.l[i] > -d.inf;
    const bool has_u = d.u[i] < d.inf;
    if (has_l && has_u && d.l[i] == d.u[i]) {
      fixed += 1;
    } else if (has_l && has_u) {
      boxed += 1;
    } else if (has_l) {
      lower += 1;
    } else if (has_u) {
      upper += 1;
    } else {
      free += 1;
    }
  }

  // Entries, extreme magnitudes and the rows holding a non-zero value
  // (marked in scratch vector 1).
  DenseVector* mark = Workspace_Vector(1);
  DenseVector_FillZero(mark, d.n);
  double* rows = DenseVector_Array(mark);
  std::int64_t entries = 0;
  double big = 0.0, small = 0.0;
  int big_row = 0, big_col = 0, small_row = 0, small_col = 0;
  for (std::int32_t j = 1; j <= d.n; ++j) {
    const std::int32_t first = d.J.start[j - 1] - 1;
    for (std::int32_t p = first; p < first + d.J.length[j - 1]; ++p) {
      entries += 1;
      const double a = std::fabs(d.J.value[p]);
      if (a == 0.0) continue;
      rows[d.J.row[p] - 1] = 1.0;
      if (big_row == 0 || a > big) {
        big = a;
        big_row = d.J.row[p];
        big_col = j;
      }
      if (small_row == 0 || a < small) {
        small = a;
        small_row = d.J.row[p];
        small_col = j;
      }
    }
  }
  const double density =
      d.n > 0 ? 100.0 * static_cast<double>(entries) / (static_cast<double>(d.n) * d.n) : 0.0;

  Output_Printf(c.mode, "\n%s Model Statistics\n", c.title);
  Output_Printf(c.mode, "Variables . . . . . . . . %d\n", d.n);
  Output_Printf(c.mode, "Jacobian entries. . . . . %lld (%.2f%% dense)\n",
                static_cast<long long>(entries), density);
  Output_Printf(c.mode, "Lower bounded only. . . . %d\n", lower);
  Output_Printf(c.mode, "Upper bounded only. . . . %d\n", upper);
  Output_Printf(c.mode, "Boxed . . . . . . . . . . %d\n", boxed);
  Output_Printf(c.mode, "Free. . . . . . . . . . . %d\n", free);
  Output_Printf(c.mode, "Fixed . . . . . . . . . . %d\n", fixed);
  Output_Printf(c.mode, "Largest |J(i,j)|. . . . . %.4e eqn: (%s) var: (%s)\n", big,
                ConstraintName(c.mcp, big_row).text, VariableName(c.mcp, big_col).text);
  Output_Printf(c.mode, "Smallest |J(i,j)| . . . . %.4e eqn: (%s) var: (%s)\n", small,
                ConstraintName(c.mcp, small_row).text, VariableName(c.mcp, small_col).text);

  ZeroLines zero(c);
  std::int32_t zero_columns = 0, zero_rows = 0;
  for (std::int32_t j = 1; j <= d.n; ++j) {
    bool empty = true;
    const std::int32_t first = d.J.start[j - 1] - 1;
    for (std::int32_t p = first; p < first + d.J.length[j - 1]; ++p) {
      if (d.J.value[p] != 0.0) empty = false;
    }
    if (!empty) continue;
    zero_columns += 1;
    zero.Write("column", j, VariableName(c.mcp, j).text);
  }
  ZeroLines zero_row(c);
  for (std::int32_t i = 1; i <= d.n; ++i) {
    if (rows[i - 1] != 0.0) continue;
    zero_rows += 1;
    zero_row.Write("row", i, ConstraintName(c.mcp, i).text);
  }
  Output_Printf(c.mode, "Zero columns. . . . . . . %d\n", zero_columns);
  Output_Printf(c.mode, "Zero rows . . . . . . . . %d\n", zero_rows);
}

void Report_PointStatistics(const ReportContext& c) {
  const Data d = Read(c);
  double big_x = 0.0, small_x = 0.0, big_f = 0.0, small_f = 0.0;
  int at_x = 0, at_small_x = 0, at_f = 0, at_small_f = 0;
  Extremes(d.n, [&](int i) { return std::fabs(d.x[i - 1]); }, &big_x, &at_x, &small_x,
           &at_small_x);
  Extremes(d.n, [&](int i) { return std::fabs(d.F[i - 1]); }, &big_f, &at_f, &small_f,
           &at_small_f);
  Output_Printf(c.mode, "\n%s Point Statistics\n", c.title);
  Output_Printf(c.mode, "Maximum of X. . . . . . . %.4e var: (%s)\n", big_x,
                VariableName(c.mcp, at_x).text);
  Output_Printf(c.mode, "Maximum of F. . . . . . . %.4e eqn: (%s)\n", big_f,
                ConstraintName(c.mcp, at_f).text);
  ResidualLine(c, "Normal map residual . . . ", RESIDUAL_NORMAL_MAP);
  ResidualLine(c, "Fischer residual. . . . . ", RESIDUAL_FISCHER_BURMEISTER);
}

void Report_ScalingStatistics(const ReportContext& c) {
  const Data d = Read(c);
  DenseVector* sums = Workspace_Vector(1);
  DenseVector_FillZero(sums, d.n);
  double* row_sums = DenseVector_Array(sums);
  for (std::int32_t j = 1; j <= d.n; ++j) {
    const std::int32_t first = d.J.start[j - 1] - 1;
    for (std::int32_t p = first; p < first + d.J.length[j - 1]; ++p) {
      row_sums[d.J.row[p] - 1] += d.J.value[p] * d.J.value[p];
    }
  }
  auto column_norm = [&](int j) {
    double s = 0.0;
    const std::int32_t first = d.J.start[j - 1] - 1;
    for (std::int32_t p = first; p < first + d.J.length[j - 1]; ++p) {
      s += d.J.value[p] * d.J.value[p];
    }
    return std::sqrt(s);
  };
  double big_r = 0.0, small_r = 0.0, big_c = 0.0, small_c = 0.0;
  int at_big_r = 0, at_small_r = 0, at_big_c = 0, at_small_c = 0;
  Extremes(d.n, [&](int i) { return std::sqrt(row_sums[i - 1]); }, &big_r, &at_big_r, &small_r,
           &at_small_r);
  Extremes(d.n, column_norm, &big_c, &at_big_c, &small_c, &at_small_c);
  Output_Printf(c.mode, "\n%s Scaling Statistics\n", c.title);
  Output_Printf(c.mode, "Maximum row norm. . . . . %.4e eqn: (%s)\n", big_r,
                ConstraintName(c.mcp, at_big_r).text);
  Output_Printf(c.mode, "Minimum row norm. . . . . %.4e eqn: (%s)\n", small_r,
                ConstraintName(c.mcp, at_small_r).text);
  Output_Printf(c.mode, "Maximum column norm . . . %.4e var: (%s)\n", big_c,
                VariableName(c.mcp, at_big_c).text);
  Output_Printf(c.mode, "Minimum column norm . . . %.4e var: (%s)\n", small_c,
                VariableName(c.mcp, at_small_c).text);
}

void Report_DegeneracyStatistics(const ReportContext& c) {
  const Data d = Read(c);
  const double tolerance = Options_CommonDouble(COMMON_CONVERGENCE_TOLERANCE);
  std::int32_t between = 0, at_lower = 0, at_upper = 0, degenerate = 0;
  for (std::int32_t i = 0; i < d.n; ++i) {
    const bool lower = d.x[i] <= d.l[i];
    const bool upper = d.x[i] >= d.u[i];
    if (lower) at_lower += 1;
    if (upper && !lower) at_upper += 1;
    if (!lower && !upper) between += 1;
    if ((lower || upper) && std::fabs(d.F[i]) <= tolerance) degenerate += 1;
  }
  Output_Printf(c.mode, "\n%s Degeneracy Statistics\n", c.title);
  Output_Printf(c.mode, "Between bounds. . . . . . %d\n", between);
  Output_Printf(c.mode, "At lower bound. . . . . . %d\n", at_lower);
  Output_Printf(c.mode, "At upper bound. . . . . . %d\n", at_upper);
  Output_Printf(c.mode, "Degenerate at a bound . . %d\n", degenerate);
}
