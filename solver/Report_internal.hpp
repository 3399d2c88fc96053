// The sections of the initial and final reports (ReportStatistics.cpp),
// shared by the report entries of Report.cpp.
#pragma once

struct DenseVector;
struct FunctionJacobian;
struct MCP;

// What every section reads: the problem, the point x (n = MCP_Variables)
// with F and J at it, the title word ("Initial" or "Final"), the streams of
// the section and the caller's mask (for the listing-only zero lines).
struct ReportContext {
  MCP* mcp;
  const DenseVector* x;
  FunctionJacobian* FJ;
  const char* title;
  int mode;
  int mask;
};

// Each writes its section on context.mode.
void Report_Point(const ReportContext& context);
void Report_ModelStatistics(const ReportContext& context);
void Report_PointStatistics(const ReportContext& context);
void Report_ScalingStatistics(const ReportContext& context);
void Report_DegeneracyStatistics(const ReportContext& context);
