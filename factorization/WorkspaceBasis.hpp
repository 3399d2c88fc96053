// The scratch pool's one timed Basis: the basis that the driver, the
// pivoting method and the crash phase share, made on first use and kept in
// the pool's basis slot, which grows it with the pool and destroys it when
// the pool goes.
#pragma once

struct Basis;

// The pool's Basis, created on the current back-end with
// Basis_Create(n, n, nnz) of the pool's sizes on the first request. Requires
// a pool (solver error "no workspace" otherwise).
Basis* Workspace_Basis();
