function [M, q, lb, ub, solution] = cyclic_lcp()
  % Degenerate cyclic LCP; solution (1/3, 1/3, 1/3) with M z + q = 0.
  M = sparse([1 2 0; 0 1 2; 2 0 1]);
  q = -ones(3, 1);
  lb = zeros(3, 1);
  ub = Inf(3, 1);
  solution = ones(3, 1) / 3;
end
