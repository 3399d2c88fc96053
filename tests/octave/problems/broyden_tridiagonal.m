function [f, J, domerr] = broyden_tridiagonal(x, flag)
  % Broyden's tridiagonal system F_i = (3 - 2 x_i) x_i - x_(i-1) - 2 x_(i+1) + 1,
  % x_0 = x_(n+1) = 0, as an MCP with free variables.
  n = numel(x);
  x = x(:);
  previous = [0; x(1:n-1)];
  next = [x(2:n); 0];
  f = (3 - 2*x) .* x - previous - 2*next + 1;
  J = spdiags([-ones(n, 1), 3 - 4*x, -2*ones(n, 1)], [-1, 0, 1], n, n);
  domerr = 0;
end
