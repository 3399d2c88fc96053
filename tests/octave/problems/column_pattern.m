function [f, J, domerr] = column_pattern(x, flag)
  % F = (x1 + x2 - 2, x1 - x2, x1 + 1): the Jacobian's first column is full
  % and its third empty. On [0, inf) the solution is (1, 1, 0).
  f = [x(1) + x(2) - 2; x(1) - x(2); x(1) + 1];
  J = sparse([1 1 0; 1 -1 0; 1 0 0]);
  domerr = 0;
end
