% LCPGATE  Solve a linear complementarity problem with bounds.
%
%   [status, time, F, basis] = lcpgate(n, nnz, z, lb, ub, M, q)
%   [status, time, F, basis] = lcpgate(n, nnz, z, lb, ub, M, q, startvec)
%
% Finds z with lb <= z <= ub such that each F_i = (M z + q)_i is >= 0
% where z_i = lb_i, <= 0 where z_i = ub_i, and 0 in between.
%
%   n         number of variables
%   nnz       bound on the entries of M; any size (Inf too) is capped at
%             n*n, and must not be below the entries M stores. The solver
%             sets aside room for that many entries: nnz(M) is the closest
%   z         starting point; receives the solution, see below
%   lb, ub    bounds (n entries each; -Inf and Inf for none)
%   M         sparse n-by-n matrix of finite reals
%   q         n finite reals (a NaN or an infinite entry in M or q is
%             refused with its place)
%   startvec  optional start of the pivoting method; switches presolve and
%             the crash phase off unless "sarn.opt" switches them on
%
%   status    1 when a solution was found, 0 otherwise
%   time      elapsed seconds
%   F         M z + q at the returned point
%   basis     per variable -1 at its lower bound, +1 at its upper bound,
%             0 otherwise
%
% The solution is written into z itself, in place. Pass z as a double array
% of its own, such as z = zeros(n, 1) or z = [5; 6], or a copy made with
% z = z0 + 0: every variable that shares z's storage (after z0 = z, both
% do) receives the solution as well. A part of an array shares that
% array's storage: after z = x(1:n), or with x(1:n) or x(:, 1) passed as
% z, the solution is written into those entries of x too. A range such as
% 5:6 or a diagonal matrix is stored by Octave in a form of its own and
% handed over as a copy, into which the solution could not be written:
% such a z is refused.
%
% Options are read from "sarn.opt" in the current folder, one per line;
% everything the solver prints goes to "logfile.tmp" there.
