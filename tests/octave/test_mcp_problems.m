function test_mcp_problems()
  % Classic nonlinear problems through mcpgate, each checked against the
  % problem: the oracle with F recomputed here, the known solution where it
  % is unique, F and J outputs equal to the function's own values at the
  % returned point, and z overwritten in place; with the option presolve on
  % and off (mcpgate's problems do not allow presolve, so both must agree).
  r = sqrt(6) / 2;
  % function, n, nnz, start, lower, upper, accepted solutions (one per column; [] when not unique)
  problems = {
    'kojima_shindo', 4, 16, zeros(4, 1), zeros(4, 1), Inf(4, 1), [1 r; 0 0; 3 0; 0 0.5]
    'kojima_shindo', 4, 16, ones(4, 1),  zeros(4, 1), Inf(4, 1), [1 r; 0 0; 3 0; 0 0.5]
    'josephy',       4, 16, zeros(4, 1), zeros(4, 1), Inf(4, 1), [r; 0; 0; 0.5]
    'nash_cournot',  5, 25, 10 * ones(5, 1), zeros(5, 1), Inf(5, 1), ...
        [36.9325108; 41.8181417; 43.7065785; 42.6592397; 39.1789525]
    'log_domain',    2, 2,  [20; 0], [0; -Inf], [Inf; Inf], [exp(1); 2]
    'broyden_tridiagonal', 10, 28, -ones(10, 1), -Inf(10, 1), Inf(10, 1), []
    'broyden_tridiagonal', 1000, 2998, -ones(1000, 1), -Inf(1000, 1), Inf(1000, 1), []
    'mixed_box',     3, 9,  zeros(3, 1), [0; -Inf; -1], [10; Inf; 1], [1; 0; -1]
  };
  for presolve = {'yes', 'no'}
    write_options(['presolve ' presolve{1}]);
    for k = 1:rows(problems)
      [fname, n, nnz, start, lb, ub, solutions] = problems{k, :};
      label = sprintf('%s (n = %d, start %g, presolve %s)', fname, n, start(1), presolve{1});
      z = fresh(start);
      [status, time, F, J] = mcpgate(n, nnz, z, lb, ub, fname);
      expect(status == 1, '%s: status %g', label, status);
      expect(isscalar(time) && time >= 0, '%s: time', label);
      expect(~isequal(z, start), '%s: z was not overwritten', label);
      [f_here, J_here] = feval(fname, z, 1);
      check_oracle(z, lb, ub, f_here, 1e-6, label);
      expect(norm(F - f_here, Inf) <= 1e-10 * max(1, norm(f_here, Inf)), '%s: F output', label);
      expect(issparse(J) && isequal(size(J), [n n]), '%s: J output not sparse n-by-n', label);
      expect(norm(J - J_here, Inf) <= 1e-10 * max(1, norm(J_here, Inf)), '%s: J output', label);
      if ~isempty(solutions)
        distance = min(max(abs(solutions - z), [], 1));
        expect(distance <= 1e-6 * max(1, norm(z, Inf)), '%s: %g from the known solution', label, distance);
      end
    end
  end
end
