function [f, J, domerr] = mixed_box(x, flag)
  % F = (x1 + x2 - 1, x1 - x2 + x3^3, x3 + 2) with x1 in [0, 10], x2 free,
  % x3 in [-1, 1]; solution (1, 0, -1).
  f = [x(1) + x(2) - 1; x(1) - x(2) + x(3)^3; x(3) + 2];
  J = sparse([1, 1, 0; 1, -1, 3*x(3)^2; 0, 0, 1]);
  domerr = 0;
end
