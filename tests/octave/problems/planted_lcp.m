function [M, q, lb, ub, solution] = planted_lcp(n, seed)
  % Monotone LCP M = B B' + S + 0.1 I (S skew-symmetric) with a mix of
  % bounds [0, inf), [-1, 1] and (-inf, inf), built around a chosen solution:
  % a third of the variables at a finite lower bound, a third at a finite
  % upper bound, the rest strictly between, and q = w - M z with w of the
  % matching signs. The solution is unique.
  rand('state', seed);
  randn('state', seed);
  B = sprandn(n, n, min(1, 3 / n)) + speye(n);
  T = sprandn(n, n, min(1, 2 / n));
  M = B * B' + (T - T') + 0.1 * speye(n);
  kind = mod(0:n-1, 3)' + 1;                  % 1: [0, inf), 2: [-1, 1], 3: free
  lb = [0; -1; -Inf](kind);
  ub = [Inf; 1; Inf](kind);
  where = mod(floor((0:n-1)' / 3), 3) + 1;    % 1: at lower, 2: at upper, 3: between
  where(kind == 1 & where == 2) = 1;          % no finite upper bound there
  where(kind == 3) = 3;
  solution = zeros(n, 1);
  w = zeros(n, 1);
  at_lower = where == 1;
  at_upper = where == 2;
  between = where == 3;
  solution(at_lower) = lb(at_lower);
  solution(at_upper) = ub(at_upper);
  solution(between & kind == 1) = 0.5 + rand(nnz(between & kind == 1), 1);
  solution(between & kind == 2) = 1.6 * rand(nnz(between & kind == 2), 1) - 0.8;
  solution(between & kind == 3) = 4 * randn(nnz(between & kind == 3), 1);
  w(at_lower) = 0.5 + rand(nnz(at_lower), 1);
  w(at_upper) = -0.5 - rand(nnz(at_upper), 1);
  q = w - M * solution;
end
