// FunctionJacobian: sizes, growth and the copy that completes the diagonal.
#include <gtest/gtest.h>

#include <vector>

#include "SparseTestSupport.hpp"
#include "core/DenseVector.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/SparseMatrix.hpp"
#include "support/TestSupport.hpp"

namespace {

using namespace sparse_test;

class FunctionJacobianTest : public LibraryTest {};

TEST_F(FunctionJacobianTest, CreateAndSizeOnlyGrow) {
  FunctionJacobian* p = FunctionJacobian_Create(0, 0);
  EXPECT_EQ(DenseVector_Capacity(FunctionJacobian_Function(p)), 1);
  EXPECT_EQ(SparseMatrix_NNZCapacity(FunctionJacobian_Jacobian(p)), 1);
  EXPECT_EQ(FunctionJacobian_N(p), 0);
  EXPECT_EQ(FunctionJacobian_Nnz(p), 0);

  FunctionJacobian_Size(p, 10, 30);
  DenseVector* F = FunctionJacobian_Function(p);
  SparseMatrix* J = FunctionJacobian_Jacobian(p);
  FunctionJacobian_Size(p, 4, 5);  // smaller: nothing changes
  EXPECT_EQ(FunctionJacobian_MaxN(p), 10);
  EXPECT_EQ(FunctionJacobian_MaxNnz(p), 30);
  FunctionJacobian_Size(p, 20, 5);  // larger n, smaller nnz
  EXPECT_EQ(FunctionJacobian_MaxN(p), 20);
  EXPECT_EQ(FunctionJacobian_MaxNnz(p), 30);
  EXPECT_EQ(DenseVector_Capacity(F), 20);
  EXPECT_EQ(SparseMatrix_ColCapacity(J), 20);
  EXPECT_EQ(SparseMatrix_NNZCapacity(J), 30);
  // The members keep their identity.
  EXPECT_EQ(FunctionJacobian_Function(p), F);
  EXPECT_EQ(FunctionJacobian_Jacobian(p), J);

  FunctionJacobian_SetN(p, 5);
  FunctionJacobian_SetNnz(p, 7);
  EXPECT_EQ(DenseVector_Length(F), 5);
  EXPECT_EQ(SparseMatrix_Rows(J), 5);
  EXPECT_EQ(SparseMatrix_Cols(J), 5);
  EXPECT_EQ(SparseMatrix_NNZ(J), 7);
  EXPECT_EQ(FunctionJacobian_N(p), 5);
  EXPECT_EQ(FunctionJacobian_Nnz(p), 7);
  EXPECT_SOLVER_ERROR(FunctionJacobian_SetN(p, 21), "SetN: insufficient capacity");
  EXPECT_SOLVER_ERROR(FunctionJacobian_SetNnz(p, 31), "insufficient capacity");

  EXPECT_EQ(FunctionJacobian_Reference(p), 2);
  EXPECT_EQ(FunctionJacobian_Destroy(p), 1);
  EXPECT_EQ(FunctionJacobian_Destroy(p), 0);
}

// Fills a pair with F and a scattered 2 x 2 Jacobian holding only (1, 2).
void FillOffDiagonal(FunctionJacobian* p) {
  SparseMatrix* J = FunctionJacobian_Jacobian(p);
  int count = SparseMatrix_PrepareExchange(J, 2, SparseMatrix_NNZCapacity(J));
  IDenseVector_Array(SparseMatrix_ColStart(J))[1] = 1;
  IDenseVector_Array(SparseMatrix_ColLen(J))[1] = 1;
  IDenseVector_Array(SparseMatrix_RowIndex(J))[0] = 1;
  DenseVector_Array(SparseMatrix_Values(J))[0] = 3.5;
  count = 1;
  SparseMatrix_FinishExchange(J, count, "Test");
  DenseVector_Array(FunctionJacobian_Function(p))[0] = -1.0;
  DenseVector_Array(FunctionJacobian_Function(p))[1] = 2.0;
  FunctionJacobian_SetN(p, 2);
  FunctionJacobian_SetNnz(p, count);
}

TEST_F(FunctionJacobianTest, CopyAddsTheMissingDiagonalAndGrowsTheDestination) {
  FunctionJacobian* src = FunctionJacobian_Create(2, 1);
  FillOffDiagonal(src);
  struct CopyCase {
    const char* name;
    int n;
    int nnz;
  };
  // A destination as large as the source needs room for the two diagonal
  // entries besides the source's one.
  const CopyCase cases[] = {{"as large as the source", 2, 1}, {"empty", 0, 0}, {"roomy", 5, 20}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FunctionJacobian* dst = FunctionJacobian_Create(c.n, c.nnz);
    FunctionJacobian_Copy(dst, src);
    EXPECT_EQ(FunctionJacobian_N(dst), 2);
    EXPECT_EQ(FunctionJacobian_Nnz(dst), 3);
    EXPECT_EQ(Values(FunctionJacobian_Function(dst)), (std::vector<double>{-1.0, 2.0}));
    ExpectSameDense(Read(FunctionJacobian_Jacobian(dst)),
                    FromEntries(2, 2, {{1, 1, 0.0}, {1, 2, 3.5}, {2, 2, 0.0}}));
    EXPECT_GE(FunctionJacobian_MaxNnz(dst), 3);
    FunctionJacobian_Copy(dst, dst);  // nothing happens
    EXPECT_EQ(FunctionJacobian_Nnz(dst), 3);
    FunctionJacobian_Destroy(dst);
  }
  FunctionJacobian_Destroy(src);
}

}  // namespace
