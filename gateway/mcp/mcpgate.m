% MCPGATE  Solve a nonlinear mixed complementarity problem.
%
%   [status, time, F, J] = mcpgate(n, nnz, z, lb, ub, fname)
%   [status, time, F, J] = mcpgate(n, nnz, z, lb, ub, fname, startvec)
%
% Finds z with lb <= z <= ub such that each F_i(z) is >= 0 where z_i = lb_i,
% <= 0 where z_i = ub_i, and 0 in between. fname names a function called as
%
%   [f, J, domerr] = fname(x, flag)
%
% with x an n-by-1 vector and flag 0 (f only) or 1 (f and J): f holds F(x)
% (n reals), J is the Jacobian as a sparse n-by-n matrix, domerr counts the
% points where F is undefined (0 when it is defined at x). An error raised
% by fname ends the call with its message and identifier; Ctrl-C while
% fname runs is Octave's, and ends the call.
%
%   n         number of variables
%   nnz       bound on the Jacobian's entries; any size (Inf too) is capped
%             at n*n. The solver sets aside room for that many entries, so
%             for a large n give a close bound rather than Inf
%   z         starting point; receives the solution, see below
%   lb, ub    bounds (n entries each; -Inf and Inf for none)
%   startvec  optional start of the pivoting method; switches presolve and
%             the crash phase off unless "sarn.opt" switches them on
%
%   status    1 when a solution was found, 0 otherwise
%   time      elapsed seconds
%   F, J      F and its Jacobian at the returned point
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
