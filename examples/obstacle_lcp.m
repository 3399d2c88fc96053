function [M, q, lb, ub] = obstacle_lcp(m)
  % Obstacle problem on the m-by-m interior grid of the unit square, spacing
  % h = 1/(m+1): the membrane u, held at 0 on the boundary and pushed down by
  % the load f = -8, stays above the obstacle psi = -0.1 - (x-0.5)^2 - (y-0.5)^2.
  % With v = u - psi >= 0 and F = A u - f (A the 5-point Laplacian over h^2),
  % the LCP is M = A, q = A psi - f, v >= 0.
  h = 1 / (m + 1);
  e = ones(m, 1);
  T = spdiags([-e, 2*e, -e], [-1, 0, 1], m, m);
  I = speye(m);
  M = (kron(I, T) + kron(T, I)) / h^2;
  [x, y] = meshgrid((1:m) * h, (1:m) * h);
  psi = -0.1 - (x(:) - 0.5).^2 - (y(:) - 0.5).^2;
  q = M * psi + 8;
  lb = zeros(m * m, 1);
  ub = Inf(m * m, 1);
end
