// Fixture for the MCP record tests: library defaults, and owned records and
// vectors released at the end of every test (also after a solver error).
#pragma once

#include <vector>

#include "presolve/PresolveOptions.hpp"
#include "problems/FakeMCP.hpp"
#include "problems/MCP.hpp"
#include "support/TestSupport.hpp"

class MCPFixture : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    Presolve_Defaults();
  }

  void TearDown() override {
    for (MCP* mcp : records_) MCP_Destroy(mcp);
    for (FunctionJacobian* pair : pairs_) FunctionJacobian_Destroy(pair);
    for (DenseVector* v : vectors_) DenseVector_Destroy(v);
    for (IDenseVector* v : ivectors_) IDenseVector_Destroy(v);
    LibraryTest::TearDown();
  }

  // A record for the fake's problem with its callbacks installed.
  MCP* Make(FakeMCP& fake, int nnz, bool with_hooks = true) {
    MCP* mcp = MCP_Create(fake.n(), nnz);
    records_.push_back(mcp);
    MCP_Interface in = fake.Interface(with_hooks);
    MCP_SetInterface(mcp, &in);
    return mcp;
  }

  MCP* Record(int n, int nnz) {
    MCP* mcp = MCP_Create(n, nnz);
    records_.push_back(mcp);
    return mcp;
  }

  FunctionJacobian* Pair(int n, int nnz) {
    pairs_.push_back(FunctionJacobian_Create(n, nnz));
    return pairs_.back();
  }

  DenseVector* Vector(const std::vector<double>& values, int capacity = 0) {
    int n = static_cast<int>(values.size());
    DenseVector* v = DenseVector_Create(capacity > n ? capacity : n);
    vectors_.push_back(v);
    DenseVector_SetLength(v, n);
    for (int i = 0; i < n; ++i) DenseVector_SetValue(v, i + 1, values[i]);
    return v;
  }

  IDenseVector* IVector(const std::vector<int>& values) {
    int n = static_cast<int>(values.size());
    IDenseVector* v = IDenseVector_Create(n);
    ivectors_.push_back(v);
    IDenseVector_SetLength(v, n);
    for (int i = 0; i < n; ++i) IDenseVector_SetValue(v, i + 1, values[i]);
    return v;
  }

  static std::vector<double> Values(const DenseVector* v) {
    return std::vector<double>(DenseVector_Array(v), DenseVector_Array(v) + DenseVector_Length(v));
  }
  static std::vector<int> Values(const IDenseVector* v) {
    return std::vector<int>(IDenseVector_Array(v), IDenseVector_Array(v) + IDenseVector_Length(v));
  }

 private:
  std::vector<MCP*> records_;
  std::vector<FunctionJacobian*> pairs_;
  std::vector<DenseVector*> vectors_;
  std::vector<IDenseVector*> ivectors_;
};
