function [M, q, lb, ub, solution] = qp_kkt_lcp()
  % KKT conditions of min (x1 - 1)^2 + (x2 - 2.5)^2 subject to three linear
  % inequalities and x >= 0, as an LCP in z = (x, multipliers).
  A = [1 -2; -1 -2; -1 2];
  M = sparse([2*eye(2), -A'; A, zeros(3)]);
  q = [-2; -5; 2; 6; 2];
  lb = zeros(5, 1);
  ub = Inf(5, 1);
  solution = [1.4; 1.7; 0.8; 0; 0];
end
