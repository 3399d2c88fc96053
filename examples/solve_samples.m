function solve_samples()
  % Solves one nonlinear and one linear sample problem through the plug-ins
  % and prints status, solution and time of each. The plug-ins write their
  % log, "logfile.tmp", into the current folder.

  % Nash-Cournot oligopoly through mcpgate, from q = 10 for every firm.
  n = 5;
  z = 10 * ones(n, 1);
  [status, time, F] = mcpgate(n, n * n, z, zeros(n, 1), Inf(n, 1), 'nash_cournot');
  printf('Nash-Cournot equilibrium (mcpgate, n = %d)\n', n);
  printf('  status %g, time %.3f s\n', status, time);
  printf('  quantity %d: %12.7f   (F = % .2e)\n', [1:n; z'; F']);

  % Obstacle problem through lcpgate on a 30-by-30 grid.
  m = 30;
  [M, q, lb, ub] = obstacle_lcp(m);
  v = zeros(m * m, 1);
  [status, time, F, basis] = lcpgate(m * m, nnz(M), v, lb, ub, M, q);
  contact = basis < 0;
  printf('\nObstacle problem (lcpgate, %d-by-%d grid, n = %d)\n', m, m, m * m);
  printf('  status %g, time %.3f s\n', status, time);
  printf('  %d of %d grid points touch the obstacle; v = u - psi along the middle line:\n', ...
         nnz(contact), m * m);
  printf('  %s\n', sprintf('%.3f ', v((m/2 - 1) * m + (1:m))));
  printf('  complementarity: max |min(v, F)| = %.2e\n', max(abs(min(v, F))));
end
