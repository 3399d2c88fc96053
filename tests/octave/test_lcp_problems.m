function test_lcp_problems()
  % Classic linear problems through lcpgate, with presolve on and off: the
  % oracle with F = M z + q recomputed here, the known solution where it is
  % unique, the basis output (-1 at the lower bound, +1 at the upper bound,
  % 0 otherwise), and z overwritten in place.
  [M, q, lb, ub, s] = qp_kkt_lcp();        problems(1, :) = {'QP in KKT form', M, q, lb, ub, s};
  [M, q, lb, ub, s] = cyclic_lcp();        problems(2, :) = {'cyclic', M, q, lb, ub, s};
  [M, q, lb, ub, s] = exponential_lcp(8);  problems(3, :) = {'exponential 8', M, q, lb, ub, s};
  [M, q, lb, ub, s] = exponential_lcp(16); problems(4, :) = {'exponential 16', M, q, lb, ub, s};
  [M, q, lb, ub] = obstacle_lcp(10);       problems(5, :) = {'obstacle 10', M, q, lb, ub, []};
  [M, q, lb, ub] = obstacle_lcp(100);      problems(6, :) = {'obstacle 100', M, q, lb, ub, []};
  [M, q, lb, ub, s] = planted_lcp(30, 1);  problems(7, :) = {'planted 30', M, q, lb, ub, s};
  [M, q, lb, ub, s] = planted_lcp(300, 2); problems(8, :) = {'planted 300', M, q, lb, ub, s};
  for presolve = {'yes', 'no'}
    write_options(['presolve ' presolve{1}]);
    for k = 1:rows(problems)
      [name, M, q, lb, ub, solution] = problems{k, :};
      label = sprintf('%s, presolve %s', name, presolve{1});
      n = rows(M);
      z = zeros(n, 1);
      [status, time, F, basis] = lcpgate(n, nnz(M), z, lb, ub, M, q);
      expect(status == 1, '%s: status %g', label, status);
      expect(isscalar(time) && time >= 0, '%s: time', label);
      f_here = M * z + q;
      check_oracle(z, lb, ub, f_here, 1e-6, label);
      expect(norm(F - f_here, Inf) <= 1e-8 * max(1, norm(f_here, Inf)), '%s: F output', label);
      check_basis(basis, z, lb, ub, label);
      if ~isempty(solution)
        expect(norm(z - solution, Inf) <= 1e-6, '%s: %g from the known solution', label, ...
               norm(z - solution, Inf));
      end
    end
  end

  % No solution: status 0, no error.
  for presolve = {'yes', 'no'}
    write_options(['presolve ' presolve{1}]);
    z = fresh(0);
    [status, time, F, basis] = lcpgate(1, 1, z, 0, Inf, sparse(-1), -1);
    expect(status == 0 && ismember(basis, [-1 0 1]), 'no solution, presolve %s', presolve{1});
  end
end

function check_basis(basis, z, lb, ub, label)
  expect(isequal(size(basis), size(z)) && all(ismember(basis, [-1 0 1])), ...
         '%s: basis entries other than -1, 0, 1', label);
  tol = 1e-8;
  expect(all(abs(z(basis == -1) - lb(basis == -1)) <= tol), '%s: -1 away from the lower bound', label);
  expect(all(abs(z(basis == 1) - ub(basis == 1)) <= tol), '%s: +1 away from the upper bound', label);
end
