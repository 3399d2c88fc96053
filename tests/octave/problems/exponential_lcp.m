function [M, q, lb, ub, solution] = exponential_lcp(n)
  % Upper triangular M with 1 on the diagonal and 2 above it, q = -1; the
  % unique solution is the last unit vector.
  M = sparse(triu(2*ones(n), 1) + eye(n));
  q = -ones(n, 1);
  lb = zeros(n, 1);
  ub = Inf(n, 1);
  solution = [zeros(n - 1, 1); 1];
end
